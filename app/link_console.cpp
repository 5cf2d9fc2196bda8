// link_console: the panel's link from a console, without the window. It negotiates with the
// module on a named port exactly as the open button does, sends one configuration command
// and prints every log line. Useful on a machine without a display, and to check a port.

#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "protocol/str_to_int.h"
#include "serial/log_sink.h"
#include "serial/port_scan.h"
#include "serial/serial_link.h"
#include "serial/serial_platform.h"

namespace {

constexpr char kUsage[] =
    "usage: link_console PORT SPEED [COMMAND VALUE]\n"
    "       link_console --scan\n"
    "Finds the module's speed on PORT (a name such as COM5, used as typed), moves it to\n"
    "SPEED, confirms the link, then sends one command and prints its reply.\n"
    "  COMMAND VALUE   color 0-7, brightness 0-3 or model 0-1 (default: color 7)\n"
    "  --scan          list the ports that can be opened now, one per line\n"
    "Prints the activity log one line per entry: the panel's lines in UTF-8 (on a\n"
    "Windows console run \"chcp 65001\" first), the module's replies as received.\n"
    "Exit status: 0 connected, 1 no link (or no port found by --scan), 2 usage error.\n";

constexpr int kConnected = 0;
constexpr int kNoLink = 1;
constexpr int kUsageError = 2;

struct ConsoleCommand {
    const char* prefix;
    int max_value;
};

const std::map<std::string, ConsoleCommand>& Commands() {
    static const std::map<std::string, ConsoleCommand> commands = {
        {"color", {protocol::kColorPrefix, 7}},
        {"brightness", {protocol::kBrightnessPrefix, 3}},
        {"model", {protocol::kLcdModelPrefix, 1}},
    };
    return commands;
}

// The activity log on stdout, flushed per line so a hang shows how far the link got.
class ConsoleLog final : public serial::LogSink {
public:
    void LogLine(std::string_view text) override { PrintLine(text); }

    // The reply keeps its own line feed; one is added only when it arrived without.
    void LogReply(std::string_view bytes) override { PrintLine(bytes); }

private:
    static void PrintLine(std::string_view bytes) {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        if (bytes.empty() || bytes.back() != '\n') {
            std::fputc('\n', stdout);
        }
        std::fflush(stdout);
    }
};

struct Request {
    std::string port;
    std::string speed_text;
    ConsoleCommand command = Commands().at("color");
    int value = 7;
};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "link_console: %s\n%s", message.c_str(), kUsage);
    return kUsageError;
}

// The speed is checked before the port is touched; the panel would find the fault only
// after probing, but a console user gains nothing from waiting for it.
bool ParseRequest(const std::vector<std::string>& args, Request& request, std::string& error) {
    if (args.size() != 2 && args.size() != 4) {
        error = "expected PORT SPEED [COMMAND VALUE]";
        return false;
    }
    request.port = args[0];
    request.speed_text = args[1];
    try {
        if (protocol::StrToInt(request.speed_text) <= 0) {
            error = "SPEED must be above 0";
            return false;
        }
        if (args.size() == 4) {
            const auto command = Commands().find(args[2]);
            if (command == Commands().end()) {
                error = "unknown command '" + args[2] + "'";
                return false;
            }
            request.command = command->second;
            request.value = protocol::StrToInt(args[3]);
            if (request.value < 0 || request.value > request.command.max_value) {
                error = args[2] + " takes 0 to " + std::to_string(request.command.max_value);
                return false;
            }
        }
    } catch (const protocol::EConvertError& convert_error) {
        error = convert_error.what();
        return false;
    }
    return true;
}

int ListPorts() {
    const std::unique_ptr<serial::SerialPlatform> platform = serial::MakeNativeSerialPlatform();
    const std::vector<std::string> ports = serial::ScanPorts(*platform);
    for (const std::string& port : ports) {
        std::printf("%s\n", port.c_str());
    }
    return ports.empty() ? kNoLink : kConnected;
}

int RunLink(const Request& request) {
    const std::unique_ptr<serial::SerialPlatform> platform = serial::MakeNativeSerialPlatform();
    ConsoleLog log;
    serial::SerialLink link(*platform, log);
    protocol::LinkNegotiator negotiator(link, log);
    if (negotiator.Negotiate(request.port, request.speed_text) !=
        protocol::NegotiationOutcome::Connected) {
        return kNoLink;
    }
    protocol::ModuleCommands commands(link, log);
    commands.SendCommand(request.command.prefix, request.value);
    return kConnected;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return kConnected;
    }
    if (args.size() == 1 && args[0] == "--scan") {
        return ListPorts();
    }
    Request request;
    std::string error;
    if (!ParseRequest(args, request, error)) {
        return UsageError(error);
    }
    try {
        return RunLink(request);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "link_console: %s\n", failure.what());
        return kNoLink;
    }
}

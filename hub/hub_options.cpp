#include "hub/hub_options.h"

#include <algorithm>
#include <charconv>

#include "hub/client_listener.h"
#include "hub/system_notices.h"
#include "protocol/handshake.h"

namespace hub {

namespace {

bool ParseSpeed(const std::string& text, std::int32_t& baud) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, baud);
    return error == std::errc() && stop == end &&
           std::ranges::count(protocol::kModuleSpeeds, baud) == 1;
}

// "--name VALUE" or "--name=VALUE"; false when the value is missing.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value) {
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
        arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        return false;
    }
    value = args[++i];
    return true;
}

bool Named(const std::string& arg, const std::string& name) {
    return arg == name || arg.rfind(name + "=", 0) == 0;
}

}  // namespace

ParsedHubArguments ParseHubArguments(const std::vector<std::string>& args) {
    ParsedHubArguments parsed;
    HubOptions& o = parsed.options;
    const auto fail = [&](const std::string& error) {
        if (parsed.error.empty()) {
            parsed.error = error;
        }
    };
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
        } else if (arg == "-v" || arg == "--verbose") {
            o.verbose = true;
        } else if (Named(arg, "--port") || arg == "-p") {
            TakeValue(args, i, arg == "-p" ? "-p" : "--port", o.port) && !o.port.empty()
                ? void()
                : fail("--port takes a port name");
        } else if (Named(arg, "--baud") || arg == "-b") {
            if (!TakeValue(args, i, arg == "-b" ? "-b" : "--baud", value) ||
                !ParseSpeed(value, o.baud)) {
                fail(
                    "--baud takes one of the module's speeds: 2400, 9600, 115200, 921600, "
                    "2016806, 3037974 or 5000000");
            }
        } else if (Named(arg, "--socket")) {
            TakeValue(args, i, "--socket", o.socket) && !o.socket.empty()
                ? void()
                : fail("--socket takes a path");
        } else if (Named(arg, "--socket-group")) {
            TakeValue(args, i, "--socket-group", o.socket_group) && !o.socket_group.empty()
                ? void()
                : fail("--socket-group takes a group's name");
        } else if (Named(arg, "--pages")) {
            if (!TakeValue(args, i, "--pages", value) || value.empty()) {
                fail("--pages takes one page file or more");
            }
            o.pages.push_back(value);
            while (i + 1 < args.size() && !args[i + 1].starts_with("-")) {
                o.pages.push_back(args[++i]);
            }
        } else if (Named(arg, "--on-exit")) {
            if (!TakeValue(args, i, "--on-exit", value) || (value != "keep" && value != "clear")) {
                fail("--on-exit takes keep or clear");
            }
            o.clear_on_exit = value == "clear";
        } else {
            fail("unknown argument '" + arg + "'");
        }
    }
    return parsed;
}

std::string HubUsageText() {
    return std::string("usage: lcdhub [--port P] [--baud B] ") + ClientAddressSynopsis() +
           "\n"
           "              [--pages FILE...] [--on-exit keep|clear] [-v]\n"
           "Owns the LCD module's port and lets many programs share its screen through a\n"
           "local socket or pipe, each on screens of its own with a priority.\n"
           "  -p, --port P          the module's port (default: the only USB serial port);\n"
           "                        a port that is missing or goes away is waited for\n"
           "  -b, --baud B          the speed to bring the link to (default 921600)\n" +
           ClientAddressUsage() +
           "  --pages FILE...       show the pages of these page files as the hub's own\n"
           "                        screens, reloaded when a file changes; the first file's\n"
           "                        [display] blanks the screen (see the pages manual)\n"
           "  --on-exit keep|clear  leave the last frame on the screen (default) or clear it\n"
           "  -v, --verbose         log the module's replies\n"
           "  -h, --help            this text\n" +
           SystemNotices::StopUsage();
}

}  // namespace hub

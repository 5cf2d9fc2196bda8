#include "cli/commands.h"

#include <cstdio>
#include <vector>

#include "cli/hub_route.h"
#include "cli/ports.h"
#include "cli/terminal.h"
#include "pictures/module_text.h"
#include "serial/port_scan.h"

namespace cli {

int OpenLink(const Options& options, ConsoleLog& log, session::ModuleSession& session) {
    const PortChoice port = ChoosePort(session.Link().Platform(), options.port);
    if (!port.problem.empty()) {
        PrintError(log, port.problem);
        return kNoLink;
    }
    if (!session.Connect(port.name, options.baud)) {
        if (Interrupted()) {
            return kInterrupted;  // Ctrl-C ended the negotiation
        }
        std::string problem = "no link to the module on " + port.name;
        if (session.Unopenable()) {
            problem += ": " +
                       serial::DescribeOpenFailure(session.Link().Platform().DevicePath(port.name),
                                                   *session.Unopenable()) +
                       HubHint();
        }
        PrintError(log, problem);
        return kNoLink;
    }
    return kDone;
}

namespace {

std::string LossOf(const serial::SerialLink& link) {
    const bool gone = link.LastWriteOutcome() == serial::WriteOutcome::Disconnected;
    return gone ? "the module's port is gone" : "the module stopped taking data";
}

}  // namespace

int LinkLost(ConsoleLog& log, const serial::SerialLink& link) {
    PrintError(log, LossOf(link));
    return kNoLink;
}

int AwaitLink(const Options& options, ConsoleLog& log, session::ModuleSession& session) {
    if (options.reconnect_seconds <= 0 || Interrupted()) {
        return LinkLost(log, session.Link());
    }
    const std::string wait = std::to_string(options.reconnect_seconds) + " s";
    PrintError(log, LossOf(session.Link()) + "; waiting up to " + wait + " for it to come back");
    if (session.Reconnect(std::chrono::steady_clock::now() +
                          std::chrono::seconds(options.reconnect_seconds))) {
        return kDone;
    }
    if (Interrupted()) {
        return kInterrupted;
    }
    PrintError(log, "the link did not come back within " + wait);
    return kNoLink;
}

int Finished(ConsoleLog& log, const protocol::ModuleCommands& commands) {
    if (Interrupted()) {
        return kInterrupted;  // a reply cut short by Ctrl-C says nothing of the module
    }
    if (commands.LastReplyMissing()) {
        PrintError(log, "the module did not answer");
        return kNoAnswer;
    }
    return kDone;
}

int RunPorts(const Options& options, ConsoleLog&, serial::SerialPlatform& platform) {
    const std::vector<std::string> ports = serial::ScanPorts(platform);
    for (const std::string& name : ports) {
        // The USB strings come from the adapter itself.
        const std::string line =
            EscapeForDisplay(options.long_listing ? DescribePort(name, DetailsOf(name)) : name) +
            "\n";
        WriteOutput(line.data(), line.size());
    }
    return ports.empty() ? kNoLink : kDone;
}

// connect, a setting and pattern: the link, then at most one exchange.
int RunLinkCommand(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform) {
    if (!options.hub.empty() && options.command != Command::Connect) {
        const std::vector<std::uint8_t> frame(protocol::FrameBytes, options.fill);
        return RunThroughHub(options, log, options.hub,
                             options.command == Command::Pattern ? &frame : nullptr);
    }
    session::ModuleSession session(platform, log, Interrupted);
    if (const int status = OpenLink(options, log, session); status != kDone) {
        return status;
    }
    protocol::ModuleCommands& commands = session.Commands();
    switch (options.command) {
        case Command::Setting:
            commands.SendCommand(options.setting->prefix, options.value);
            break;
        case Command::Pattern: {
            std::vector<std::uint8_t> buffer(protocol::FrameBytes);
            if (!commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t> frame) {
                    std::ranges::fill(frame, options.fill);
                })) {
                return LinkLost(log, session.Link());
            }
            break;
        }
        default:
            break;
    }
    if (session.Link().LastWriteOutcome() != serial::WriteOutcome::Sent) {
        return LinkLost(log, session.Link());
    }
    return Finished(log, commands);
}

}  // namespace cli

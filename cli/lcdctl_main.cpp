// lcdctl: the LCD module from the shell, for scripts, cron jobs and video.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/hub_route.h"
#include "cli/terminal.h"

int main(int argc, char** argv) {
    const cli::ParsedArguments parsed =
        cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::fputs(cli::UsageText(), stdout);
        return cli::kDone;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "lcdctl: %s\nTry 'lcdctl --help'.\n", parsed.error.c_str());
        return cli::kUsage;
    }
    cli::UseBinaryStdio();
    cli::CatchInterrupts();
    cli::ConsoleLog log(parsed.options.quiet);
    const auto platform = serial::MakeNativeSerialPlatform();
    try {
        cli::Options options = parsed.options;
        if (options.command == cli::Command::Page && !options.preview.empty()) {
            return cli::RunPagePreview(options, log);  // drawn here: no module, no hub
        }
        if (const int status = cli::RouteThroughHub(options, log); status != cli::kDone) {
            return status;
        }
        switch (options.command) {
            case cli::Command::Ports:
                return cli::RunPorts(options, log, *platform);
            case cli::Command::Send:
                return cli::RunSend(options, log, *platform);
            case cli::Command::Stream:
                return cli::RunStream(options, log, *platform);
            case cli::Command::Page:
                return cli::RunPageSend(options, log);
            case cli::Command::Release:
            case cli::Command::Status:
            case cli::Command::Set:
            case cli::Command::Unset:
                return cli::RunThroughHub(options, log, options.hub);
            default:
                return cli::RunLinkCommand(options, log, *platform);
        }
    } catch (const std::exception& error) {
        cli::PrintError(log, error.what());
        return cli::kNoLink;
    }
}

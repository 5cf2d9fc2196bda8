#pragma once

#include "cli/console_log.h"
#include "cli/options.h"
#include "serial/serial_platform.h"
#include "session/module_session.h"

namespace cli {

// What lcdctl's exit status says.
enum ExitStatus {
    kDone = 0,
    kNoLink = 1,        // no module answered, or the link was lost
    kUsage = 2,         // the command line was not understood
    kBadInput = 3,      // a picture or a stream that cannot be read
    kNoAnswer = 4,      // the link is up, but the module did not answer a command or a frame
    kInterrupted = 130  // Ctrl-C, after the frame on the line was finished
};

// Chooses the port and brings the link up; kDone, or the status to exit with once the
// reason has been printed.
int OpenLink(const Options& options, ConsoleLog& log, session::ModuleSession& session);

// A frame exchange that the line had to give up: why, and the status.
int LinkLost(ConsoleLog& log, const serial::SerialLink& link);

// The same, unless --reconnect asks to wait for the link to come back: kDone once it is up
// again, else the status to exit with, its reason printed.
int AwaitLink(const Options& options, ConsoleLog& log, session::ModuleSession& session);

// After the last exchange went out whole: kInterrupted after Ctrl-C, kNoAnswer (said why)
// when the module did not answer it, else kDone.
int Finished(ConsoleLog& log, const protocol::ModuleCommands& commands);

int RunPorts(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform);
int RunLinkCommand(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform);

// Need the toolkit's picture readers; a build without them says so.
int RunSend(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform);
int RunStream(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform);

// The preview PNG, to standard output for "-", else saved whole or not at all. Nothing when
// it was written, else why not ("" when there is no reason to tell).
std::optional<std::string> WritePreview(const std::vector<std::uint8_t>& frame,
                                        const std::string& target);

// Each page of a page file drawn once with the values of the moment, as one-bit PNGs; a
// build without pages says so.
int RunPagePreview(const Options& options, ConsoleLog& log);
// A page file's pages to the running hub, the pictures they name carried inside.
int RunPageSend(const Options& options, ConsoleLog& log);

}  // namespace cli

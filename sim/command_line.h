#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/module_options.h"

namespace sim {

struct CommandLine {
    ModuleOptions options;
    int replug_ms = 1000;  // after SIGUSR2 unplugs the port, how long until it is back
    bool help = false;
    std::string error;  // empty when the arguments were understood
};

// lcdsim's arguments (without the program name).
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text printed by --help and after an error.
std::string UsageText();

// Every option ParseCommandLine() accepts, --help and -h included.
std::vector<std::string> OptionNames();

// Backslash escapes as a shell user types them: \0 \n \r \t \\ and \xHH. False on an
// escape that is cut off or unknown.
bool UnescapeBytes(std::string_view text, std::string& bytes);

}  // namespace sim

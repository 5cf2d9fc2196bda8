#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace panel {

// What the shell or the desktop may pass the panel: a port to open and a picture file to
// show in place of the demo picture. A launcher may pass more than we know: that is worth a
// warning, not a panel that never opens.
struct StartArguments {
    std::string port;     // UTF-8; empty for none
    std::string picture;  // UTF-8; empty for none
    bool help = false;
    std::vector<std::string> warnings;  // one line each, for the standard error
};

inline constexpr std::string_view kStartUsage =
    "Usage: lcdpanel [--port NAME] [FILE]\n"
    "\n"
    "Control panel for the serial LCD module.\n"
    "\n"
    "  --port NAME  Put NAME (COM3, ttyUSB0) into the port field, ready to open.\n"
    "  FILE         A picture to show in place of the demo picture.\n"
    "  --help       Show this and do nothing else.\n";

// The words after the program's own name, in UTF-8.
StartArguments ParseStartArguments(const std::vector<std::string>& words);

}  // namespace panel

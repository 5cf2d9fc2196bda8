#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/frame_pipeline.h"
#include "protocol/module_commands.h"

namespace cli {

enum class Command {
    Ports,
    Connect,
    Setting,  // one of the module's settings: color, brightness, model
    Pattern,
    Send,
    Stream,
    Release,
    Status,
    Page,
    Set,
    Unset
};

using Fit = imaging::Fit;

// --fit, --threshold (0: the panel's automatic threshold), --dither and --invert.
using PictureOptions = imaging::FrameRecipe;

struct Options {
    std::string port;  // empty: the only USB serial port
    std::int32_t baud = 921600;
    bool quiet = false;
    Command command = Command::Connect;
    bool long_listing = false;  // ports --long
    const protocol::ModuleSetting* setting = nullptr;  // setting: its row of the table
    int value = 0;                                     // setting: the choice
    std::uint8_t fill = 0;      // pattern
    std::string input;          // send: a file, or "-" for standard input; page: its file
    std::string preview;        // send, page --preview: a PNG file, or "-" for standard output
    PictureOptions picture;
    std::string value_name;  // set, unset
    std::string value_text;  // set
    // page --preview: values given as they would be set through the hub
    std::vector<std::pair<std::string, std::string>> page_values;
    int width = 480;  // stream: the size of the frames read
    int height = 480;
    double fps = 0;  // stream: 0 is as fast as the line goes
    bool no_drop = false;
    long count = 0;  // stream: 0 is until the input ends
    // send, stream: how long to wait for a lost link to come back; 0 gives up at once.
    int reconnect_seconds = 0;
    // Through a running lcdhub: its socket (empty: look where hubs listen), or the port
    // itself with `direct`; the screen drawn on, its priority and how long it stays
    // (0: until released); how long to wait for the module to take the frame (0: not).
    std::string hub;
    bool direct = false;
    std::string hub_screen = "lcdctl";
    std::string hub_priority = "foreground";
    int hub_for_seconds = 60;
    int wait_seconds = 0;
};

inline constexpr int kDefaultReconnectSeconds = 30;
inline constexpr int kDefaultWaitSeconds = 30;

struct ParsedArguments {
    Options options;
    bool help = false;
    std::string error;  // empty when the arguments were understood
};

// The commands only a running hub can answer: release, status, set, unset, and page unless
// it is only previewed.
bool IsHubsOwn(const Options& options);

// send, pattern, stream and the settings that each of the hub's screens keeps: the commands
// that draw on a screen of the hub's.
bool DrawsOnScreen(const Options& options);

// lcdctl's arguments, without the program's name.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// What --help prints.
const char* UsageText();

}  // namespace cli

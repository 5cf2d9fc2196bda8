#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "imaging/frame_pipeline.h"
#include "pages/page_file.h"
#include "protocol/module_commands.h"

// The hub's line protocol, version 1: one command a line, each answered by one line.
namespace hub {

inline constexpr char kGreeting[] = "lcdhub 1 480x480";
inline constexpr std::size_t kMaxLineBytes = 4096;  // a line this long without LF loses framing
inline constexpr std::size_t kMaxPictureBytes = 64u * 1024 * 1024;
inline constexpr std::size_t kGrayBytes = 480u * 480u;
inline constexpr std::size_t kMaxPageBytes = pages::kMostSentPageBytes;

// Highest first: the order is the rank.
enum class Priority { Alert, Foreground, Info, Background };
inline constexpr int kPriorityCount = 4;
std::string_view PriorityName(Priority priority);
std::optional<Priority> PriorityNamed(std::string_view name);

// 1 to 32 of A-Z a-z 0-9 _ . -
bool IsScreenName(std::string_view name);
// A value a client may set: 1 to 64 of the same, not under "hub.", which are the hub's own.
bool IsClientValueName(std::string_view name);

// Options a command left out are nullopt, and keep their current values.
struct ScreenCommand {
    std::string name;
    std::optional<Priority> priority;
    std::optional<int> duration_s;  // 1 and up
    std::optional<int> expire_s;    // 0: never ("expire=never"), else whole seconds from now
    bool keep = false;              // keep=yes
};
struct FrameCommand {
    std::string name;  // then FrameBytes raw bytes
};
struct PictureCommand {
    std::string name;
    std::size_t bytes = 0;  // then this many bytes of a picture file
    imaging::FrameRecipe recipe;
};
struct GrayCommand {
    std::string name;  // then kGrayBytes of 8-bit gray, 480 rows of 480
    imaging::FrameRecipe recipe;
};
struct PatternCommand {
    std::string name;
    std::uint8_t fill = 0;  // every byte of the frame
};
// A setting that each screen keeps.
struct SettingCommand {
    std::string name;
    const protocol::ModuleSetting* setting = nullptr;
    int value = 0;  // within the setting's choices
};
// A setting of the module itself, the LCD model.
struct ModelCommand {
    int value = 0;
};
struct DeleteCommand {
    std::string name;
};
struct WatchCommand {
    bool on = false;
};
struct SetCommand {
    std::string name;  // a value's: 1 to 64 of A-Z a-z 0-9 _ . -, not hub.*
    std::string text;  // the rest of the line after one space, as it is
};
struct UnsetCommand {
    std::string name;
};
struct PageCommand {
    std::size_t bytes = 0;  // then this many bytes of a page file
};
struct StatusCommand {};
struct QuitCommand {};

using Command =
    std::variant<ScreenCommand, FrameCommand, PictureCommand, GrayCommand, PatternCommand,
                 SettingCommand, ModelCommand, DeleteCommand, WatchCommand, SetCommand,
                 UnsetCommand, PageCommand, StatusCommand, QuitCommand>;

struct ParsedLine {
    std::optional<Command> command;  // nullopt when the line is bad
    std::string error;               // the REASON of "error REASON" when it is bad
    // Bytes that follow the line, read whole before the reply even when the line is bad.
    std::size_t payload = 0;
    // The payload's length cannot be known (a picture's or a page's BYTES that is no number,
    // or over its limit): reply the error and close the connection.
    bool framing_lost = false;
};

// One line, without its LF; a CR before the LF is ignored. nullopt for an empty line,
// which gets no reply.
std::optional<ParsedLine> ParseLine(std::string_view line);

}  // namespace hub

#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

// The module's commands in one table: the panel's radio groups and pattern buttons, lcdctl's
// commands and usage, the hub's verbs and docs/wire_protocol.md all follow its rows. The
// simulator keeps its own copy, so that the two check each other.
namespace protocol {

// A setting of the module: "<prefix><index>\n" picks one of its `choices` values, 0 first.
struct ModuleSetting {
    std::string_view name;  // lcdctl's command and the hub's
    const char* prefix;     // on the wire, before the index
    int choices;
    std::string_view what;    // what it sets, as lcdctl's usage and the wire doc say
    std::string_view legend;  // the values' meaning for the usage line, or empty
    bool per_screen;          // the hub keeps one for each screen, not one for the module
};

inline constexpr std::array<ModuleSetting, 3> kSettings = {{
    {"color", "set color to: ", 8, "screen colour", "0 black ... 7 white", true},
    {"brightness", "set brightness to: ", 4, "brightness", "", true},
    {"model", "set LCD model to: ", 2, "LCD model", "", false},
}};

// A test pattern: every byte of the frame holds `fill`.
struct TestPattern {
    std::string_view name;  // lcdctl's and the hub's
    std::uint8_t fill;
};

inline constexpr std::array<TestPattern, 4> kPatterns = {{
    {"stripes", 15},
    {"lines", 254},
    {"solid", 255},
    {"clear", 0},
}};

// The row of that name, or nullptr.
constexpr const ModuleSetting* FindSetting(std::string_view name) {
    for (const ModuleSetting& setting : kSettings) {
        if (setting.name == name) {
            return &setting;
        }
    }
    return nullptr;
}

constexpr const TestPattern* FindPattern(std::string_view name) {
    for (const TestPattern& pattern : kPatterns) {
        if (pattern.name == name) {
            return &pattern;
        }
    }
    return nullptr;
}

// The row the caller names; a name that no row has does not compile. No pointer is compared
// here: with the sanitizers on, the compiler takes no such comparison as a constant.
consteval const ModuleSetting& SettingNamed(std::string_view name) {
    for (const ModuleSetting& setting : kSettings) {
        if (setting.name == name) {
            return setting;
        }
    }
    throw std::invalid_argument("no such setting");
}

consteval std::uint8_t PatternFill(std::string_view name) {
    for (const TestPattern& pattern : kPatterns) {
        if (pattern.name == name) {
            return pattern.fill;
        }
    }
    throw std::invalid_argument("no such pattern");
}

}  // namespace protocol

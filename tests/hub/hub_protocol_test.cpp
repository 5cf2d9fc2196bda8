#include <gtest/gtest.h>

#include <string>

#include "hub/hub_protocol.h"

namespace {

using hub::ParseLine;

// What a line came to: "none" for no reply, the command's kind, or the error's reason.
std::string OutcomeOf(const std::optional<hub::ParsedLine>& parsed) {
    static const char* const kKinds[] = {"screen",  "frame", "picture", "gray",  "pattern",
                                         "setting", "model", "delete",  "watch", "set",
                                         "unset",   "page",  "status",  "quit"};
    if (!parsed)
        return "none";
    return parsed->command ? kKinds[parsed->command->index()] : parsed->error;
}

// The command of a line that must parse; a missing one throws, which fails the test.
hub::Command CommandOf(std::string_view line) {
    return ParseLine(line).value().command.value();
}

struct Row {
    std::string line;
    std::string outcome;
    std::size_t payload = 0;
    bool framing_lost = false;
};

TEST(HubProtocolTest, LinesGiveTheirCommandPayloadAndReason) {
    const std::string name32 = "abcdefghijklmnopqrstuvwxyz_.-789";
    // clang-format off
    const Row rows[] = {
        {"", "none"}, {"\r", "none"}, {"   ", "none"}, {"  quit  \r", "quit"},
        {"QUIT", "unknown command"}, {"status now", "too many arguments"},
        {"screen", "missing argument"}, {"screen " + name32, "screen"},
        {"screen " + name32 + "0", "bad name"}, {"screen a/b", "bad name"},
        {"screen a priority=top", "bad value priority=top"},
        {"screen a duration=0", "bad value duration=0"},
        {"screen a duration=+5", "bad value duration=+5"},
        {"screen a expire=31536000", "screen"},
        {"screen a expire=31536001", "bad value expire=31536001"},
        {"screen a keep=no", "bad value keep=no"}, {"screen a keep", "unknown option keep"},
        {"screen a duration=3 duration=4", "repeated option duration"},
        {"screen a \x1b[2J\xff=1", "unknown option ?[2J?"},
        {"screen a " + std::string(100, 'k'), "unknown option " + std::string(64, 'k')},
        {"frame a", "frame", 28800}, {"frame", "missing argument", 28800},
        {"frame a b", "too many arguments", 28800}, {"frame a+", "bad name", 28800},
        {"gray a fit=wide", "bad value fit=wide", 230400}, {"gray", "missing argument", 230400},
        {"picture a 100 dither=floyd", "picture", 100}, {"picture a! 100", "bad name", 100},
        {"picture a 9 threshold=256", "bad value threshold=256", 9},
        {"picture a 0", "empty picture"}, {"picture a 67108864", "picture", 67108864},
        {"picture a 67108865", "bad size", 0, true}, {"picture a -5", "bad size", 0, true},
        {"picture a", "bad size", 0, true}, {"pattern a zigzag", "bad value zigzag"},
        {"pattern a", "missing argument"}, {"color a 7", "setting"}, {"color a 8", "bad value 8"},
        {"brightness a 4", "bad value 4"}, {"model 1", "model"}, {"model 2", "bad value 2"},
        {"watch on", "watch"}, {"watch", "missing argument"}, {"delete a b", "too many arguments"},
        {"set a.b", "set"}, {"set", "missing argument"}, {"set hub.frames 3", "bad name"},
        {"set a/b 3", "bad name"}, {"unset a", "unset"}, {"unset a b", "too many arguments"},
        {"page 10", "page", 10}, {"page 0", "empty page"}, {"page 8388608", "page", 8388608},
        {"page 8388609", "bad size", 0, true}, {"page", "bad size", 0, true}};
    // clang-format on
    for (const Row& row : rows) {
        const auto parsed = ParseLine(row.line);
        EXPECT_EQ(OutcomeOf(parsed), row.outcome) << row.line;
        EXPECT_EQ(parsed ? parsed->payload : 0, row.payload) << row.line;
        EXPECT_EQ(parsed && parsed->framing_lost, row.framing_lost) << row.line;
    }
}

TEST(HubProtocolTest, ASetValueIsTheRestOfTheLineAsItIs) {
    const auto set = std::get<hub::SetCommand>(CommandOf("set build.name  app #12 \xe6\xb5\x8b\r"));
    EXPECT_EQ(set.name, "build.name");
    EXPECT_EQ(set.text, " app #12 \xe6\xb5\x8b");
}

TEST(HubProtocolTest, OptionsReachTheirFields) {
    const auto screen = std::get<hub::ScreenCommand>(
        CommandOf("screen a keep=yes expire=never priority=alert duration=7"));
    EXPECT_EQ(screen.priority, hub::Priority::Alert);
    EXPECT_EQ(screen.duration_s, 7);
    EXPECT_EQ(screen.expire_s, 0);
    EXPECT_TRUE(screen.keep);
    const auto recipe = std::get<hub::GrayCommand>(
                            CommandOf("gray a invert=yes fit=none dither=bayer threshold=200"))
                            .recipe;
    EXPECT_EQ(recipe.fit, imaging::Fit::None);
    EXPECT_EQ(recipe.dither, imaging::DitherMethod::Bayer8);
    EXPECT_EQ(recipe.threshold, 200);
    EXPECT_TRUE(recipe.invert);
    EXPECT_EQ(std::get<hub::PatternCommand>(CommandOf("pattern a lines")).fill, 254);
    EXPECT_FALSE(std::get<hub::WatchCommand>(CommandOf("watch off")).on);
    for (const char* priority : {"alert", "foreground", "info", "background"})
        EXPECT_EQ(hub::PriorityName(hub::PriorityNamed(priority).value()), priority);
}

}  // namespace

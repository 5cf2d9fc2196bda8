#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/module_state_machine.h"

namespace {

using sim::ModuleAction;
using sim::ModuleOptions;
using sim::ModuleStateMachine;
using sim::TranscriptEntry;
using Kind = ModuleAction::Kind;

constexpr char kMark[] = "yes, current baudrate is: ";

std::string HelloText(int n) {
    return "hello, please set baudrate to: " + std::to_string(n);
}
std::string Hello(int n) {
    return HelloText(n) + "\n";
}

// What the module put on the line, replies and noise alike, in order.
std::string Sent(const std::vector<ModuleAction>& actions) {
    std::string bytes;
    for (const ModuleAction& action : actions) {
        if (action.kind == Kind::Reply || action.kind == Kind::Noise) {
            bytes += action.bytes;
        }
    }
    return bytes;
}

std::vector<Kind> Kinds(const std::vector<ModuleAction>& actions) {
    std::vector<Kind> kinds;
    for (const ModuleAction& action : actions) {
        kinds.push_back(action.kind);
    }
    return kinds;
}

std::string PayloadWithEveryByteValue(std::size_t size) {
    std::string payload(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        payload[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    }
    return payload;
}

TEST(ParseDecimal, TakesOnlyPlainNonNegativeNumbers) {
    EXPECT_EQ(sim::ParseDecimal("0"), 0);
    EXPECT_EQ(sim::ParseDecimal("921600"), 921600);
    EXPECT_EQ(sim::ParseDecimal("999999999"), 999999999);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "1x", "0x10", "1234567890"}) {
        EXPECT_FALSE(sim::ParseDecimal(bad).has_value()) << bad;
    }
}

TEST(ModuleHandshake, HelloWithZeroAnswersWithTheCurrentSpeedAndKeepsIt) {
    ModuleStateMachine module({});
    const auto actions = module.Feed(Hello(0), 2400);
    ASSERT_EQ(Kinds(actions), std::vector<Kind>{Kind::Reply});
    EXPECT_EQ(actions[0].bytes, std::string(kMark) + "2400\n");
    EXPECT_EQ(actions[0].baud, 2400);
    EXPECT_EQ(module.Baud(), 2400);
}

TEST(ModuleHandshake, SpeedChangesAfterTheReplyThatStillNamesTheOldSpeed) {
    ModuleStateMachine module({});
    const auto actions = module.Feed(Hello(921600), 2400);
    ASSERT_EQ(Kinds(actions), (std::vector<Kind>{Kind::Reply, Kind::ChangeSpeed}));
    EXPECT_EQ(actions[0].bytes, std::string(kMark) + "2400\n");
    EXPECT_EQ(actions[0].baud, 2400) << "the reply goes out at the old speed";
    EXPECT_EQ(actions[1].baud, 921600);
    EXPECT_EQ(module.Baud(), 921600);

    EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), "") << "the old speed is no longer understood";
    EXPECT_EQ(Sent(module.Feed(Hello(0), 921600)), std::string(kMark) + "921600\n");
}

TEST(ModuleHandshake, BytesBehindASpeedChangeInTheSameChunkAreNotUnderstood) {
    ModuleStateMachine module({});
    const auto actions = module.Feed(Hello(9600) + "set color to: 1\n", 2400);
    EXPECT_EQ(Kinds(actions), (std::vector<Kind>{Kind::Reply, Kind::ChangeSpeed}));
    EXPECT_EQ(module.Color(), sim::kDefaultColor);
    EXPECT_EQ(module.ReceivedLines(), std::vector<std::string>{HelloText(9600)});
}

TEST(ModuleHandshake, BadOrUnsupportedSpeedsGetAnErrorWithoutTheMark) {
    for (const std::string& line :
         {std::string("hello, please set baudrate to: fast\n"),
          std::string("hello, please set baudrate to: -9600\n"),
          std::string("hello, please set baudrate to: \n"), Hello(7), Hello(5000001)}) {
        ModuleStateMachine module({});
        const std::string sent = Sent(module.Feed(line, 2400));
        EXPECT_EQ(sent.find(kMark), std::string::npos) << line;
        EXPECT_EQ(sent.back(), '\n') << line;
        EXPECT_EQ(module.Baud(), 2400) << line;
    }
}

TEST(ModuleHandshake, SpeedsWithinAFewPercentAreUnderstood) {
    ModuleStateMachine module({});
    module.Feed(Hello(2016806), 2400);
    EXPECT_NE(Sent(module.Feed(Hello(0), 2000000)), "");
    EXPECT_EQ(Sent(module.Feed(Hello(0), 1900000)), "");
}

TEST(ModuleWrongSpeed, SilentModeDropsBytesAndThePartialLineWithoutAnswering) {
    ModuleStateMachine module({});
    EXPECT_TRUE(module.Feed("set color", 2400).empty());
    EXPECT_TRUE(module.Feed(Hello(0), 9600).empty());
    EXPECT_TRUE(module.LineIdle().empty());
    // The end of the interrupted line alone is no command the module knows.
    EXPECT_EQ(Sent(module.Feed(" to: 1\n", 2400)), "error: unknown command\n");
    EXPECT_EQ(module.Color(), sim::kDefaultColor);
    EXPECT_EQ(module.ReceivedLines(), std::vector<std::string>{" to: 1"});

    const auto& transcript = module.Transcript();
    ASSERT_GE(transcript.size(), 2u);
    EXPECT_EQ(transcript[0].kind, TranscriptEntry::Kind::Garbage);
    EXPECT_EQ(transcript[0].bytes, "set color");
    EXPECT_EQ(transcript[0].baud, 2400);
    EXPECT_EQ(transcript[1].kind, TranscriptEntry::Kind::Garbage);
    EXPECT_EQ(transcript[1].bytes, Hello(0));
    EXPECT_EQ(transcript[1].baud, 9600);
}

TEST(ModuleWrongSpeed, NoiseModeSendsAShortBurstWithoutLineFeedOncePerRun) {
    ModuleOptions options;
    options.wrong_speed = sim::WrongSpeedMode::Noise;
    ModuleStateMachine module(options);

    std::string previous;
    for (int run = 0; run < 20; ++run) {
        EXPECT_TRUE(module.Feed("hello, please ", 115200).empty()) << "the burst waits";
        EXPECT_TRUE(module.Feed("set baudrate to: 0\n", 115200).empty());
        const auto actions = module.LineIdle();
        ASSERT_EQ(Kinds(actions), std::vector<Kind>{Kind::Noise});
        const std::string& noise = actions[0].bytes;
        EXPECT_GE(noise.size(), 3u);
        EXPECT_LE(noise.size(), 6u);
        EXPECT_EQ(noise.find('\n'), std::string::npos);
        EXPECT_EQ(noise.find(kMark), std::string::npos);
        EXPECT_EQ(actions[0].baud, 2400) << "the module talks at its own speed";
        EXPECT_NE(noise, previous);
        previous = noise;
        EXPECT_TRUE(module.LineIdle().empty()) << "one burst per run";
    }
    EXPECT_TRUE(module.ReceivedLines().empty());
    EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), std::string(kMark) + "2400\n");
}

TEST(ModuleWrongSpeed, ARunEndsWhenTheRightSpeedReturnsOrTheWrongSpeedChanges) {
    ModuleOptions options;
    options.wrong_speed = sim::WrongSpeedMode::Noise;
    ModuleStateMachine module(options);
    module.Feed("abc", 9600);
    EXPECT_EQ(Kinds(module.Feed("def", 115200)), std::vector<Kind>{Kind::Noise});
    EXPECT_EQ(Kinds(module.Feed(Hello(0), 2400)), (std::vector<Kind>{Kind::Noise, Kind::Reply}));
}

TEST(ModuleCommands, SettingsInRangeAreKeptAndAnswered) {
    ModuleStateMachine module({});
    EXPECT_EQ(module.Color(), 7);
    EXPECT_EQ(module.Brightness(), 3);
    EXPECT_EQ(module.LcdModel(), 0);

    auto actions = module.Feed("set color to: 5\n", 2400);
    EXPECT_EQ(Kinds(actions), (std::vector<Kind>{Kind::Redraw, Kind::Reply}));
    EXPECT_EQ(Sent(actions), "ok, color 5\n");
    actions = module.Feed("set brightness to: 0\n", 2400);
    EXPECT_EQ(Kinds(actions), (std::vector<Kind>{Kind::Redraw, Kind::Reply}));
    EXPECT_EQ(Sent(actions), "ok, brightness 0\n");
    actions = module.Feed("set LCD model to: 1\n", 2400);
    EXPECT_EQ(Kinds(actions), std::vector<Kind>{Kind::Reply}) << "the model does not show";
    EXPECT_EQ(Sent(actions), "ok, LCD model 1\n");

    EXPECT_EQ(module.Color(), 5);
    EXPECT_EQ(module.Brightness(), 0);
    EXPECT_EQ(module.LcdModel(), 1);
}

TEST(ModuleCommands, OutOfRangeOrMalformedValuesGetAnErrorAndChangeNothing) {
    ModuleStateMachine module({});
    const char* bad_lines[] = {
        "set color to: 8\n",     "set color to: -1\n",      "set color to: \n",
        "set color to: 1 \n",    "set brightness to: 4\n",  "set brightness to: x\n",
        "set LCD model to: 2\n", "set LCD model to: 01x\n", "set color to:5\n",
        "Set color to: 1\n",     "set color to: 1\r\n",     "\n",
    };
    for (const char* line : bad_lines) {
        const std::string sent = Sent(module.Feed(line, 2400));
        EXPECT_EQ(sent.rfind("error: ", 0), 0u) << line;
        EXPECT_EQ(sent.back(), '\n') << line;
        EXPECT_EQ(std::count(sent.begin(), sent.end(), '\n'), 1) << line;
    }
    EXPECT_EQ(module.Color(), 7);
    EXPECT_EQ(module.Brightness(), 3);
    EXPECT_EQ(module.LcdModel(), 0);
}

TEST(ModuleCommands, LinesSplitAcrossChunksAndSeveralInOneChunkAreEachAnswered) {
    ModuleStateMachine module({});
    EXPECT_TRUE(module.Feed("set co", 2400).empty());
    EXPECT_TRUE(module.Feed("lor to: ", 2400).empty());
    EXPECT_EQ(Sent(module.Feed("3\nset brightness to: 1\nset LCD", 2400)),
              "ok, color 3\nok, brightness 1\n");
    EXPECT_EQ(Sent(module.Feed(" model to: 1\n", 2400)), "ok, LCD model 1\n");
}

TEST(ModuleCommands, AnOverlongLineIsDroppedAndTheNextLineUnderstood) {
    ModuleStateMachine module({});
    const std::string junk(1000, 'a');
    EXPECT_TRUE(module.Feed(junk.substr(0, 200), 2400).empty());
    EXPECT_TRUE(module.Feed(junk.substr(200), 2400).empty());
    EXPECT_EQ(Sent(module.Feed("\nset color to: 2\n", 2400)),
              "error: line too long\nok, color 2\n");
    EXPECT_EQ(module.Color(), 2);
    EXPECT_EQ(module.ReceivedLines(), std::vector<std::string>{"set color to: 2"});
    EXPECT_EQ(module.Transcript()[0].kind, TranscriptEntry::Kind::Garbage);
    EXPECT_LE(module.Transcript()[0].bytes.size(), ModuleStateMachine::kMaxLineLength + 1);
}

TEST(ModuleFrames, TakesExactlyTheFramesBytesWhateverTheyHoldThenReadsLinesAgain) {
    ModuleOptions options;
    options.start_baud = 921600;
    ModuleStateMachine module(options);
    EXPECT_EQ(Sent(module.Feed("pixels: 0,0,480,480\n", 921600)), "ok, send 28800 bytes\n");
    EXPECT_TRUE(module.AwaitingPayload());

    // Line feeds, NULs and whole command lines inside the payload are just pixels.
    std::string payload = PayloadWithEveryByteValue(sim::kFrameBytes);
    payload.replace(1000, 16, "set color to: 1\n");
    payload.replace(5000, Hello(9600).size(), Hello(9600));
    ASSERT_EQ(payload.size(), sim::kFrameBytes);
    ASSERT_NE(payload.find('\n'), std::string::npos);
    ASSERT_NE(payload.find('\0'), std::string::npos);

    std::vector<ModuleAction> actions;
    std::size_t at = 0;
    for (std::size_t chunk = 1; at + chunk < payload.size(); chunk = chunk * 3 + 1) {
        EXPECT_TRUE(module.Feed(payload.substr(at, chunk), 921600).empty()) << at;
        at += chunk;
    }
    // The last payload bytes and the next command arrive in one chunk.
    actions = module.Feed(payload.substr(at) + "set brightness to: 2\n", 921600);
    EXPECT_EQ(Kinds(actions),
              (std::vector<Kind>{Kind::Redraw, Kind::Reply, Kind::Redraw, Kind::Reply}));
    EXPECT_TRUE(actions[0].frame_completed);
    EXPECT_EQ(Sent(actions), "ok, frame 28800 bytes\nok, brightness 2\n");

    EXPECT_EQ(module.FramesReceived(), 1);
    EXPECT_EQ(std::string(module.Screen().begin(), module.Screen().end()), payload);
    EXPECT_EQ(module.Color(), 7);
    EXPECT_EQ(module.Baud(), 921600);
    EXPECT_EQ(module.ReceivedLines(),
              (std::vector<std::string>{"pixels: 0,0,480,480", "set brightness to: 2"}));
    EXPECT_EQ(module.Transcript()[2].kind, TranscriptEntry::Kind::Payload);
    EXPECT_EQ(module.Transcript()[2].bytes, "<frame payload 28800 bytes>");
}

TEST(ModuleFrames, ARectangleInsideTheScreenLandsWhereItSays) {
    ModuleStateMachine module({});
    EXPECT_EQ(Sent(module.Feed("pixels: 16,2,16,3\n", 2400)), "ok, send 6 bytes\n");
    EXPECT_EQ(Sent(module.Feed(std::string("\x01\x02\x03\x04\x05\x06"), 2400)),
              "ok, frame 6 bytes\n");
    const auto& screen = module.Screen();
    for (int row = 0; row < sim::kScreenHeight; ++row) {
        for (int column = 0; column < sim::kRowBytes; ++column) {
            const bool inside = row >= 2 && row < 5 && column >= 2 && column < 4;
            const int expected = inside ? (row - 2) * 2 + (column - 2) + 1 : 0;
            ASSERT_EQ(screen[row * sim::kRowBytes + column], expected) << row << "," << column;
        }
    }
}

TEST(ModuleFrames, ABadHeaderExpectsNoPayload) {
    for (const char* header : {"pixels: 0,0,481,480\n", "pixels: 0,0,480,481\n",
                               "pixels: 4,0,8,8\n", "pixels: 0,0,12,8\n", "pixels: 0,0,0,480\n",
                               "pixels: 0,0,480\n", "pixels: 0,0,480,480,1\n",
                               "pixels: 0, 0, 480, 480\n", "pixels: 8,0,480,480\n", "pixels: \n"}) {
        ModuleStateMachine module({});
        EXPECT_EQ(Sent(module.Feed(header, 2400)), "error: bad rectangle\n") << header;
        EXPECT_FALSE(module.AwaitingPayload()) << header;
        EXPECT_EQ(Sent(module.Feed("set color to: 1\n", 2400)), "ok, color 1\n") << header;
    }
}

TEST(ModuleFrames, AnAbandonedOrInterruptedPayloadIsDroppedAndLinesResume) {
    ModuleStateMachine module({});
    module.Feed("pixels: 0,0,480,480\n", 2400);
    module.Feed(std::string(1000, '\xff'), 2400);
    module.AbandonFrame();
    EXPECT_EQ(Sent(module.Feed("set color to: 4\n", 2400)), "ok, color 4\n");

    module.Feed("pixels: 0,0,480,480\n", 2400);
    module.Feed(std::string(1000, '\xff'), 2400);
    module.Feed(std::string(100, '\xff'), 9600);  // the host moved away mid-frame
    EXPECT_FALSE(module.AwaitingPayload());
    EXPECT_EQ(Sent(module.Feed("set color to: 6\n", 2400)), "ok, color 6\n");

    EXPECT_EQ(module.FramesReceived(), 0);
    EXPECT_EQ(module.Screen(), std::vector<std::uint8_t>(sim::kFrameBytes, 0));
}

TEST(ModuleFaults, SilentModuleTakesEverythingInButNeverAnswersNorChangesSpeed) {
    ModuleOptions options;
    options.silent = true;
    options.wrong_speed = sim::WrongSpeedMode::Noise;
    ModuleStateMachine module(options);
    EXPECT_EQ(Sent(module.Feed(Hello(0) + Hello(9600) + "set color to: 2\nbogus\n", 2400)), "");
    EXPECT_EQ(module.Baud(), 2400);
    EXPECT_EQ(module.Color(), 2);
    module.Feed("junk", 9600);
    EXPECT_TRUE(module.LineIdle().empty());
    for (const TranscriptEntry& entry : module.Transcript()) {
        EXPECT_EQ(entry.from, TranscriptEntry::From::Host);
    }
}

TEST(ModuleFaults, RefusingModuleAnswersWithoutTheMarkAndStays) {
    ModuleOptions options;
    options.refuse_speed_change = true;
    ModuleStateMachine module(options);
    const auto actions = module.Feed(Hello(921600), 2400);
    ASSERT_EQ(Kinds(actions), std::vector<Kind>{Kind::Reply});
    EXPECT_EQ(actions[0].bytes.find(kMark), std::string::npos);
    EXPECT_EQ(actions[0].bytes.back(), '\n');
    EXPECT_EQ(module.Baud(), 2400);
    EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), std::string(kMark) + "2400\n");
}

TEST(ModuleFaults, MutedModuleFollowsTheChangeThenAnswersNothing) {
    ModuleOptions options;
    options.mute_after_speed_change = true;
    options.wrong_speed = sim::WrongSpeedMode::Noise;
    ModuleStateMachine module(options);
    EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), std::string(kMark) + "2400\n");
    EXPECT_EQ(Kinds(module.Feed(Hello(115200), 2400)),
              (std::vector<Kind>{Kind::Reply, Kind::ChangeSpeed}));
    EXPECT_EQ(Sent(module.Feed(Hello(0) + "set color to: 3\n", 115200)), "");
    EXPECT_EQ(module.Color(), 3) << "it still hears the host";
    module.Feed("x", 2400);
    EXPECT_TRUE(module.LineIdle().empty()) << "not even noise";
    EXPECT_EQ(module.Baud(), 115200);
    EXPECT_TRUE(module.Muted());
}

TEST(ModuleFaults, ReplyDecorationsApplyToEveryReply) {
    ModuleOptions options;
    options.nul_before_line_feed = true;
    options.reply_prefix = std::string("\0>", 2);
    ModuleStateMachine module(options);
    const std::string prefix("\0>", 2);
    const std::string ending("\0\n", 2);
    EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), prefix + kMark + "2400" + ending);
    EXPECT_EQ(Sent(module.Feed("set color to: 1\n", 2400)), prefix + "ok, color 1" + ending);
    EXPECT_EQ(Sent(module.Feed("bad\n", 2400)), prefix + "error: unknown command" + ending);
}

TEST(ModuleTranscript, RecordsBothSidesInOrderWithTheirSpeeds) {
    ModuleStateMachine module({});
    module.Feed(Hello(9600), 2400);
    module.Feed("pixels: 0,0,480,480\n", 9600);
    module.Feed(std::string(sim::kFrameBytes, '\n'), 9600);

    using From = TranscriptEntry::From;
    using EntryKind = TranscriptEntry::Kind;
    const auto& t = module.Transcript();
    ASSERT_EQ(t.size(), 6u);
    const struct {
        From from;
        int baud;
        EntryKind kind;
        std::string bytes;
    } expected[] = {
        {From::Host, 2400, EntryKind::Line, Hello(9600)},
        {From::Module, 2400, EntryKind::Reply, std::string(kMark) + "2400\n"},
        {From::Host, 9600, EntryKind::Line, "pixels: 0,0,480,480\n"},
        {From::Module, 9600, EntryKind::Reply, "ok, send 28800 bytes\n"},
        {From::Host, 9600, EntryKind::Payload, "<frame payload 28800 bytes>"},
        {From::Module, 9600, EntryKind::Reply, "ok, frame 28800 bytes\n"},
    };
    for (std::size_t i = 0; i < t.size(); ++i) {
        EXPECT_EQ(t[i].from, expected[i].from) << i;
        EXPECT_EQ(t[i].baud, expected[i].baud) << i;
        EXPECT_EQ(t[i].kind, expected[i].kind) << i;
        EXPECT_EQ(t[i].bytes, expected[i].bytes) << i;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/module_state_machine.h"

namespace {

using sim::ModuleAction;
using sim::ModuleOptions;
using sim::ModuleStateMachine;
using Kind = ModuleAction::Kind;

std::string Hello(int n) {
    return "hello, please set baudrate to: " + std::to_string(n) + "\n";
}
std::string Mark(int n) {
    return "yes, current baudrate is: " + std::to_string(n) + "\n";
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

TEST(ModuleHandshake, RepliesAtTheOldSpeedThenListensOnlyAtTheNewOne) {
    ModuleStateMachine module({});
    EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), Mark(2400));
    EXPECT_EQ(module.Baud(), 2400);

    const auto actions = module.Feed(Hello(921600) + "set color to: 1\n", 2400);
    ASSERT_EQ(Kinds(actions), (std::vector<Kind>{Kind::Reply, Kind::ChangeSpeed}));
    EXPECT_EQ(actions[0].bytes, Mark(2400));
    EXPECT_EQ(actions[0].baud, 2400);
    EXPECT_EQ(actions[1].baud, 921600);
    EXPECT_EQ(module.Color(), sim::kDefaultColor) << "bytes behind the change are not understood";
    EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), "");
    EXPECT_EQ(Sent(module.Feed(Hello(0), 921600)), Mark(921600));
    EXPECT_EQ(Sent(module.Feed(Hello(0), 910000)), Mark(921600)) << "a little off is fine";
    EXPECT_EQ(Sent(module.Feed(Hello(0), 880000)), "");

    for (const std::string& bad : {Hello(7), Hello(5000001), Hello(-1)}) {
        ModuleStateMachine fresh({});
        EXPECT_EQ(Sent(fresh.Feed(bad, 2400)).rfind("error: ", 0), 0u) << bad;
        EXPECT_EQ(fresh.Baud(), 2400) << bad;
    }
}

TEST(ModuleWrongSpeed, BytesAreDroppedAndTheRunAnsweredWithNothingOrShortNoise) {
    for (const auto mode : {sim::WrongSpeedMode::Silent, sim::WrongSpeedMode::Noise}) {
        ModuleOptions options;
        options.wrong_speed = mode;
        ModuleStateMachine module(options);
        EXPECT_TRUE(module.Feed("set color", 2400).empty());
        EXPECT_TRUE(module.Feed(Hello(0), 9600).empty()) << "nothing before the line goes quiet";
        const auto idle = module.LineIdle();
        if (mode == sim::WrongSpeedMode::Silent) {
            EXPECT_TRUE(idle.empty());
        } else {
            ASSERT_EQ(Kinds(idle), std::vector<Kind>{Kind::Noise});
            EXPECT_GE(idle[0].bytes.size(), 3u);
            EXPECT_LE(idle[0].bytes.size(), 6u);
            EXPECT_EQ(idle[0].bytes.find('\n'), std::string::npos);
            EXPECT_EQ(idle[0].baud, 2400) << "the module talks at its own speed";
            EXPECT_TRUE(module.LineIdle().empty()) << "one burst per run";
        }
        // The partial line was dropped: its end alone is no command the module knows.
        EXPECT_EQ(Sent(module.Feed(" to: 1\n", 2400)), "error: unknown command\n");
        EXPECT_EQ(module.Color(), sim::kDefaultColor);
        EXPECT_EQ(Sent(module.Feed(Hello(0), 2400)), Mark(2400));
    }
}

TEST(ModuleCommands, SettingsAreKeptAndBadValuesChangeNothing) {
    ModuleStateMachine module({});
    EXPECT_TRUE(module.Feed("set co", 2400).empty());
    const auto actions =
        module.Feed("lor to: 5\nset brightness to: 0\nset LCD model to: 1\n", 2400);
    EXPECT_EQ(Kinds(actions), (std::vector<Kind>{Kind::Redraw, Kind::Reply, Kind::Redraw,
                                                 Kind::Reply, Kind::Reply}))
        << "the model does not show on screen";
    EXPECT_EQ(Sent(actions), "ok, color 5\nok, brightness 0\nok, LCD model 1\n");

    for (const char* line :
         {"set color to: 8\n", "set color to: -1\n", "set color to: 1 \n", "set color to:5\n",
          "set brightness to: 4\n", "set LCD model to: 2\n", "set color to: 1\r\n", "\n"}) {
        EXPECT_EQ(Sent(module.Feed(line, 2400)).rfind("error: ", 0), 0u) << line;
    }
    EXPECT_EQ(Sent(module.Feed(std::string(1000, 'a') + "\nset color to: 2\n", 2400)),
              "error: line too long\nok, color 2\n");
    EXPECT_EQ(module.Color(), 2);
    EXPECT_EQ(module.Brightness(), 0);
    EXPECT_EQ(module.LcdModel(), 1);
}

TEST(ModuleFrames, TakesExactlyThePayloadWhateverItHoldsThenReadsLinesAgain) {
    ModuleStateMachine module({});
    EXPECT_EQ(Sent(module.Feed("pixels: 0,0,480,480\n", 2400)), "ok, send 28800 bytes\n");
    std::string payload(sim::kFrameBytes, '\n');
    for (std::size_t i = 0; i < payload.size(); i += 3) {
        payload[i] = static_cast<char>(i / 3 % 256);  // every byte value, 0x00 and 0x0A too
    }
    payload.replace(1000, 16, "set color to: 1\n");
    std::size_t at = 0;
    for (std::size_t chunk = 1; at + chunk < payload.size(); chunk = chunk * 3 + 1) {
        EXPECT_TRUE(module.Feed(payload.substr(at, chunk), 2400).empty()) << at;
        at += chunk;
    }
    const auto actions = module.Feed(payload.substr(at) + "set brightness to: 2\n", 2400);
    ASSERT_FALSE(actions.empty());
    EXPECT_TRUE(actions[0].frame_completed);
    EXPECT_EQ(Sent(actions), "ok, frame 28800 bytes\nok, brightness 2\n");
    EXPECT_EQ(std::string(module.Screen().begin(), module.Screen().end()), payload);
    EXPECT_EQ(module.Color(), sim::kDefaultColor);

    // A smaller rectangle lands where it says, row by row.
    EXPECT_EQ(Sent(module.Feed("pixels: 16,2,16,3\n", 2400)), "ok, send 6 bytes\n");
    EXPECT_EQ(Sent(module.Feed("\x01\x02\x03\x04\x05\x06", 2400)), "ok, frame 6 bytes\n");
    const auto at_screen = [&](int row, int column) {
        return module.Screen()[row * sim::kRowBytes + column];
    };
    EXPECT_EQ(at_screen(2, 2), 1);
    EXPECT_EQ(at_screen(2, 3), 2);
    EXPECT_EQ(at_screen(4, 3), 6);
    EXPECT_EQ(at_screen(4, 4), payload[4 * sim::kRowBytes + 4]) << "outside is untouched";
    EXPECT_EQ(at_screen(5, 2), payload[5 * sim::kRowBytes + 2]);

    for (const char* header : {"pixels: 0,0,481,480\n", "pixels: 4,0,8,8\n", "pixels: 0,0,12,8\n",
                               "pixels: 0,0,0,480\n", "pixels: 0,0,480\n"}) {
        EXPECT_EQ(Sent(module.Feed(header, 2400)), "error: bad rectangle\n") << header;
        EXPECT_FALSE(module.AwaitingPayload()) << header;
    }
    module.Feed("pixels: 0,0,480,480\n", 2400);
    module.Feed(std::string(1000, '\xff'), 2400);
    module.AbandonFrame();
    EXPECT_EQ(Sent(module.Feed("set color to: 4\n", 2400)), "ok, color 4\n");
    EXPECT_EQ(module.FramesReceived(), 2);
}

TEST(ModuleFaults, EachFaultChangesWhatTheHostHears) {
    const auto decorated = [](std::string line) {
        line.pop_back();
        return std::string("\0>", 2) + line + std::string("\0\n", 2);
    };
    const struct {
        const char* name;
        std::function<void(ModuleOptions&)> set;
        std::string sent;
        int baud;
        bool noise;
    } cases[] = {
        {"silent", [](ModuleOptions& o) { o.silent = true; }, "", 2400, false},
        {"refuse", [](ModuleOptions& o) { o.refuse_speed_change = true; },
         Mark(2400) + "no, baudrate stays at 2400\nok, color 3\n", 2400, true},
        {"mute", [](ModuleOptions& o) { o.mute_after_speed_change = true; },
         Mark(2400) + Mark(2400), 115200, false},
        {"decorated",
         [](ModuleOptions& o) {
             o.nul_before_line_feed = true;
             o.reply_prefix = std::string("\0>", 2);
         },
         decorated(Mark(2400)) + decorated(Mark(2400)) + decorated("ok, color 3\n"), 115200, true},
    };
    for (const auto& c : cases) {
        ModuleOptions options;
        options.wrong_speed = sim::WrongSpeedMode::Noise;
        c.set(options);
        ModuleStateMachine module(options);
        std::string sent = Sent(module.Feed(Hello(0), 2400));
        sent += Sent(module.Feed(Hello(115200), 2400));
        sent += Sent(module.Feed("set color to: 3\n", module.Baud()));
        EXPECT_EQ(sent, c.sent) << c.name;
        module.Feed("x", 9600);
        EXPECT_EQ(Sent(module.LineIdle()).empty(), !c.noise) << c.name;
        EXPECT_EQ(module.Baud(), c.baud) << c.name;
        EXPECT_EQ(module.Color(), 3) << c.name << ": the module still hears the host";
    }
}

}  // namespace

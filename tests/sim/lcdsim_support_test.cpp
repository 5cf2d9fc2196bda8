#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/module_state_machine.h"
#include "sim/screen_render.h"
#include "sim/transcript_format.h"

namespace {

using sim::TranscriptEntry;

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

TEST(TranscriptFormat, OneReadableLinePerEntryWithSpeedAndSide) {
    EXPECT_EQ(sim::FormatTranscriptLine({TranscriptEntry::From::Host, 921600,
                                         "hello, please set baudrate to: 0\n",
                                         TranscriptEntry::Kind::Line}),
              "921600 host> hello, please set baudrate to: 0\\n");
    EXPECT_EQ(sim::FormatTranscriptLine({TranscriptEntry::From::Module, 2400,
                                         std::string("ok\0\n", 4), TranscriptEntry::Kind::Reply}),
              "2400 module> ok\\0\\n");
    EXPECT_EQ(sim::FormatTranscriptLine(
                  {TranscriptEntry::From::Host, 9600, "a\r\tb\\", TranscriptEntry::Kind::Garbage}),
              "9600 host (dropped)> a\\r\\tb\\\\");
    EXPECT_EQ(sim::FormatTranscriptLine({TranscriptEntry::From::Module, 2400, "\x80\xff\x01",
                                         TranscriptEntry::Kind::Noise}),
              "2400 module (noise)> \\x80\\xff\\x01");
    EXPECT_EQ(
        sim::FormatTranscriptLine({TranscriptEntry::From::Host, 921600,
                                   "<frame payload 28800 bytes>", TranscriptEntry::Kind::Payload}),
        "921600 host> <frame payload 28800 bytes>");
}

TEST(TranscriptFormat, EveryByteValueStaysOnOneLine) {
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<char>(i));
    }
    const std::string text = sim::EscapeBytes(all);
    for (const char c : text) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7f) << static_cast<int>(c);
    }
}

TEST(ScreenRender, ColourBitsAreRedGreenBlueScaledByBrightness) {
    using sim::Rgb;
    EXPECT_EQ(sim::LightPixelColor(7, 3), (Rgb{255, 255, 255}));
    EXPECT_EQ(sim::LightPixelColor(0, 3), (Rgb{0, 0, 0}));
    EXPECT_EQ(sim::LightPixelColor(1, 3), (Rgb{255, 0, 0}));
    EXPECT_EQ(sim::LightPixelColor(2, 3), (Rgb{0, 255, 0}));
    EXPECT_EQ(sim::LightPixelColor(4, 3), (Rgb{0, 0, 255}));
    EXPECT_EQ(sim::LightPixelColor(3, 2), (Rgb{191, 191, 0}));
    EXPECT_EQ(sim::LightPixelColor(5, 1), (Rgb{127, 0, 127}));
    EXPECT_EQ(sim::LightPixelColor(6, 0), (Rgb{0, 63, 63}));
}

TEST(ScreenRender, RowsTopFirstAndTheLeftmostPixelInTheTopBit) {
    std::vector<std::uint8_t> screen(sim::kFrameBytes, 0);
    screen[0] = 0x80;
    screen[1 * sim::kRowBytes + 59] = 0x01;
    screen[479 * sim::kRowBytes + 1] = 0x40;
    int light = 0;
    for (int y = 0; y < sim::kScreenHeight; ++y) {
        for (int x = 0; x < sim::kScreenWidth; ++x) {
            light += sim::PixelIsLight(screen, x, y);
        }
    }
    EXPECT_EQ(light, 3);
    EXPECT_TRUE(sim::PixelIsLight(screen, 0, 0));
    EXPECT_TRUE(sim::PixelIsLight(screen, 479, 1));
    EXPECT_TRUE(sim::PixelIsLight(screen, 9, 479));
}

TEST(CommandLine, EveryOptionReachesTheModuleOptions) {
    const sim::CommandLine parsed = sim::ParseCommandLine(
        Words("--baud 115200 --link /tmp/lcd --no-pace --pace-lines --noise --silent "
              "--refuse-speed-change --mute-after-speed-change --nul-before-line-feed "
              "--reply-prefix \\0x\\x41 --split-chunks 3 --split-gap-ms 20 --hang-up-after 0 "
              "--screen s.png --transcript t.txt --payload-timeout-ms 500"));
    ASSERT_EQ(parsed.error, "");
    const sim::ModuleOptions& o = parsed.options;
    EXPECT_EQ(o.start_baud, 115200);
    EXPECT_EQ(o.link_path, "/tmp/lcd");
    EXPECT_FALSE(o.pace);
    EXPECT_TRUE(o.pace_lines);
    EXPECT_EQ(o.wrong_speed, sim::WrongSpeedMode::Noise);
    EXPECT_TRUE(o.silent);
    EXPECT_TRUE(o.refuse_speed_change);
    EXPECT_TRUE(o.mute_after_speed_change);
    EXPECT_TRUE(o.nul_before_line_feed);
    EXPECT_EQ(o.reply_prefix, std::string("\0xA", 3));
    EXPECT_EQ(o.split_chunks, 3);
    EXPECT_EQ(o.split_gap_ms, 20);
    EXPECT_EQ(o.hang_up_after_bytes, 0);
    EXPECT_EQ(o.screen_png, "s.png");
    EXPECT_EQ(o.transcript_path, "t.txt");
    EXPECT_EQ(o.payload_timeout_ms, 500);
}

TEST(CommandLine, DefaultsAreAHealthyModuleAtThePowerUpSpeed) {
    const sim::CommandLine parsed = sim::ParseCommandLine({});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.start_baud, 2400);
    EXPECT_TRUE(parsed.options.pace);
    EXPECT_FALSE(parsed.options.pace_lines);
    EXPECT_EQ(parsed.options.hang_up_after_bytes, -1);
    EXPECT_EQ(parsed.options.reply_prefix, "");
}

TEST(CommandLine, BadArgumentsAreReportedNotGuessed) {
    const std::vector<std::vector<std::string>> bad = {
        {"--baud"},
        {"--baud", "fast"},
        {"--baud", "0"},
        {"--baud", "-1"},
        {"--split-chunks", "0"},
        {"--reply-prefix", "\\"},
        {"--reply-prefix", "\\x4"},
        {"--reply-prefix", "\\q"},
        {"--frobnicate"},
        {"--link", ""},
    };
    for (const auto& args : bad) {
        EXPECT_NE(sim::ParseCommandLine(args).error, "") << args[0];
    }
    EXPECT_TRUE(sim::ParseCommandLine({"--help"}).help);
}

}  // namespace

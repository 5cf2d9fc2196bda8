#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "host_line.h"
#include "sim/module_sim.h"
#include "sim/module_state_machine.h"
#include "sim/transcript_format.h"

namespace {

using namespace std::chrono_literals;
using sim::ModuleOptions;
using sim::PtyModule;
using sim_testing::HostLine;
using Clock = std::chrono::steady_clock;

constexpr char kMark[] = "yes, current baudrate is: ";

std::string Hello(int n) {
    return "hello, please set baudrate to: " + std::to_string(n) + "\n";
}

ModuleOptions Fast() {
    ModuleOptions options;
    options.pace = false;
    return options;
}

// A directory of its own for the files a test makes, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        char templ[] = "/tmp/lcdsim_test_XXXXXX";
        m_path = ::mkdtemp(templ);
    }
    ~ScratchDir() { std::filesystem::remove_all(m_path); }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string FramePayload() {
    std::string payload(sim::kFrameBytes, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<char>((i * 31 + 7) & 0xff);
    }
    return payload;
}

TEST(PtyModule, AnswersAHelloOnlyAtItsOwnSpeed) {
    for (const auto mode : {sim::WrongSpeedMode::Silent, sim::WrongSpeedMode::Noise}) {
        ModuleOptions options = Fast();
        options.wrong_speed = mode;
        PtyModule module(options);
        module.Start();
        HostLine host(module.SlavePath(), 9600);

        ASSERT_TRUE(host.Write(Hello(0)));
        const std::string wrong = host.ReadFor(300ms);
        EXPECT_EQ(wrong.find('\n'), std::string::npos);
        EXPECT_EQ(wrong.find(kMark), std::string::npos);
        if (mode == sim::WrongSpeedMode::Silent) {
            EXPECT_EQ(wrong, "");
        } else {
            EXPECT_GE(wrong.size(), 3u);
        }

        host.SetBaud(2400);
        ASSERT_TRUE(host.Write(Hello(0)));
        EXPECT_EQ(host.ReadLine(), std::string(kMark) + "2400\n");
        EXPECT_EQ(module.ReceivedLines(), std::vector<std::string>{Hello(0).substr(0, 32)});
    }
}

TEST(PtyModule, ChangesSpeedOnlyAfterItsReplyAndAnswersTheNextHelloAtOnce) {
    PtyModule module(Fast());
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write(Hello(921600)));
    EXPECT_EQ(host.ReadLine(), std::string(kMark) + "2400\n");
    // Like the host: no pause between following the module and the next hello.
    host.SetBaud(921600);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadLine(), std::string(kMark) + "921600\n");
    EXPECT_EQ(module.Baud(), 921600);

    host.SetBaud(2400);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadFor(200ms), "");
}

TEST(PtyModule, KeepsTheSettingsItWasSentAndRecordsTheConversationInAFile) {
    ScratchDir dir;
    ModuleOptions options = Fast();
    options.start_baud = 115200;
    options.transcript_path = dir.File("transcript.txt");
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 115200);
    for (const char* line : {"set color to: 5\n", "set brightness to: 1\n", "set LCD model to: 1\n",
                             "set color to: 9\n"}) {
        ASSERT_TRUE(host.Write(line));
        EXPECT_EQ(host.ReadLine().back(), '\n') << line;
    }
    EXPECT_EQ(module.Color(), 5);
    EXPECT_EQ(module.Brightness(), 1);
    EXPECT_EQ(module.LcdModel(), 1);

    std::ifstream file(options.transcript_path);
    std::stringstream text;
    text << file.rdbuf();
    std::string expected;
    for (const sim::TranscriptEntry& entry : module.Transcript()) {
        expected += sim::FormatTranscriptLine(entry) + "\n";
    }
    EXPECT_EQ(module.Transcript().size(), 8u);
    EXPECT_EQ(text.str(), expected);
    std::string first_line;
    std::getline(text, first_line);
    EXPECT_EQ(first_line, "115200 host> set color to: 5\\n");
}

TEST(PtyModule, TakesAFrameWithLineFeedsAndNulsAsPixels) {
    PtyModule module(Fast());
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write("pixels: 0,0,480,480\n"));
    EXPECT_EQ(host.ReadLine(), "ok, send 28800 bytes\n");
    const std::string payload = FramePayload();
    ASSERT_NE(payload.find('\n'), std::string::npos);
    ASSERT_NE(payload.find('\0'), std::string::npos);
    ASSERT_TRUE(host.Write(payload));
    EXPECT_EQ(host.ReadLine(), "ok, frame 28800 bytes\n");
    ASSERT_TRUE(module.WaitForFrames(1, 2s));
    EXPECT_EQ(module.FramesReceived(), 1);
    const std::vector<std::uint8_t> frame = module.LastFrame();
    EXPECT_EQ(std::string(frame.begin(), frame.end()), payload);

    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadLine(), std::string(kMark) + "2400\n");
}

TEST(PtyModule, WritesTheScreenInItsColourAndBrightness) {
    ScratchDir dir;
    ModuleOptions options = Fast();
    options.screen_png = dir.File("screen.png");
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write("set color to: 5\n"));  // red and blue
    host.ReadLine();
    ASSERT_TRUE(host.Write("set brightness to: 1\n"));
    host.ReadLine();
    EXPECT_FALSE(std::filesystem::exists(options.screen_png)) << "nothing shown yet";

    // Top-left pixel, the last pixel of row 1, and the left half of the bottom row.
    std::string payload(sim::kFrameBytes, '\0');
    payload[0] = '\x80';
    payload[1 * sim::kRowBytes + 59] = '\x01';
    for (int i = 0; i < 30; ++i) {
        payload[479 * sim::kRowBytes + i] = '\xff';
    }
    ASSERT_TRUE(host.Write("pixels: 0,0,480,480\n"));
    host.ReadLine();
    ASSERT_TRUE(host.Write(payload));
    EXPECT_EQ(host.ReadLine(), "ok, frame 28800 bytes\n");
    ASSERT_TRUE(module.WaitForFrames(1, 2s));

    QImage image(QString::fromStdString(options.screen_png));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.width(), 480);
    ASSERT_EQ(image.height(), 480);
    const QRgb light = qRgb(127, 0, 127);
    const QRgb dark = qRgb(0, 0, 0);
    EXPECT_EQ(image.pixel(0, 0), light);
    EXPECT_EQ(image.pixel(1, 0), dark);
    EXPECT_EQ(image.pixel(479, 1), light);
    EXPECT_EQ(image.pixel(478, 1), dark);
    EXPECT_EQ(image.pixel(0, 479), light);
    EXPECT_EQ(image.pixel(239, 479), light);
    EXPECT_EQ(image.pixel(240, 479), dark);
    EXPECT_EQ(image.pixel(200, 200), dark);

    // A new colour repaints the frame already shown.
    ASSERT_TRUE(host.Write("set color to: 2\n"));
    host.ReadLine();
    EXPECT_EQ(QImage(QString::fromStdString(options.screen_png)).pixel(0, 0), qRgb(0, 127, 0));
}

TEST(PtyModule, RefusingModuleKeepsItsSpeed) {
    ModuleOptions options = Fast();
    options.refuse_speed_change = true;
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write(Hello(921600)));
    const std::string reply = host.ReadLine();
    EXPECT_EQ(reply.back(), '\n');
    EXPECT_EQ(reply.find(kMark), std::string::npos);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(module.Baud(), 2400);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadLine(), std::string(kMark) + "2400\n");
}

TEST(PtyModule, MutedModuleFollowsTheChangeButNeverAnswersAgain) {
    ModuleOptions options = Fast();
    options.mute_after_speed_change = true;
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write(Hello(115200)));
    EXPECT_EQ(host.ReadLine(), std::string(kMark) + "2400\n");
    host.SetBaud(115200);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadFor(200ms), "");
    EXPECT_EQ(module.Baud(), 115200);
    EXPECT_EQ(module.ReceivedLines().size(), 2u) << "it still hears the host";
}

TEST(PtyModule, SilentModuleNeverAnswers) {
    ModuleOptions options = Fast();
    options.silent = true;
    options.wrong_speed = sim::WrongSpeedMode::Noise;
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write(Hello(0) + "set color to: 1\n"));
    // Only once the module has taken the bytes in may the line change speed under them.
    for (int i = 0; i < 200 && module.ReceivedLines().size() < 2; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    host.SetBaud(9600);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadFor(200ms), "");
    EXPECT_EQ(module.ReceivedLines().size(), 2u);
}

TEST(PtyModule, ReplyDecorationsReachTheHostByteForByte) {
    ModuleOptions options = Fast();
    options.nul_before_line_feed = true;
    options.reply_prefix = std::string("\0", 1);
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadLine(), std::string("\0", 1) + kMark + "2400" + std::string("\0\n", 2));
}

TEST(PtyModule, ASplitReplyArrivesInPiecesWithGaps) {
    ModuleOptions options = Fast();
    options.split_chunks = 3;
    options.split_gap_ms = 80;
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write(Hello(0)));
    const std::string first = host.ReadFor(40ms);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first.find('\n'), std::string::npos) << "the line feed comes with the last piece";
    const auto start = Clock::now();
    const std::string rest = host.ReadLine();
    EXPECT_GE(Clock::now() - start, 100ms) << "two more gaps, less the 40 ms already waited";
    EXPECT_EQ(first + rest, std::string(kMark) + "2400\n");
}

TEST(PtyModule, HangingUpMakesTheDeviceVanishForTheHost) {
    ScratchDir dir;
    ModuleOptions options = Fast();
    options.hang_up_after_bytes = 20;
    options.link_path = dir.File("lcd");
    PtyModule module(options);
    ASSERT_TRUE(std::filesystem::is_symlink(options.link_path));
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    ASSERT_TRUE(host.Write("pixels: 0,0,480,480\n"));  // exactly 20 bytes
    for (int i = 0; i < 200 && !module.HungUp(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(module.HungUp());

    errno = 0;
    EXPECT_FALSE(host.Write(FramePayload()));
    EXPECT_EQ(errno, EIO);
    int waiting = 0;
    EXPECT_NE(::ioctl(host.Fd(), FIONREAD, &waiting), 0);
    EXPECT_EQ(errno, EIO);
    char byte;
    EXPECT_LE(::read(host.Fd(), &byte, 1), 0) << "no more bytes ever";
    EXPECT_FALSE(std::filesystem::exists(module.SlavePath()));
    EXPECT_FALSE(std::filesystem::is_symlink(options.link_path));
}

TEST(PtyModule, StopsPromptlyAndCanBeRestarted) {
    PtyModule module(Fast());
    module.Start();
    HostLine host(module.SlavePath(), 2400);
    const auto start = Clock::now();
    module.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
    ASSERT_TRUE(host.Write(Hello(0)));
    EXPECT_EQ(host.ReadFor(100ms), "");
    module.Start();
    EXPECT_EQ(host.ReadLine(), std::string(kMark) + "2400\n") << "the queued hello is answered";
}

// 150 commands of 16 bytes: 2,400 bytes, 100 ms at 240,000 bit/s; their replies
// ("ok, color n\n") 1,800 bytes, 75 ms. The time the host spends sending them and reading
// every reply.
std::chrono::nanoseconds TimeForColourCommands(const ModuleOptions& options) {
    PtyModule module(options);
    module.Start();
    HostLine host(module.SlavePath(), options.start_baud);
    std::string lines;
    for (int i = 0; i < 150; ++i) {
        lines += "set color to: " + std::to_string(i % 8) + "\n";
    }
    const auto start = Clock::now();
    EXPECT_TRUE(host.Write(lines));
    std::string replies;
    for (int i = 0; i < 150; ++i) {
        replies += host.ReadLine();
    }
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(lines.size(), 2400u);
    EXPECT_EQ(replies.size(), 1800u);
    EXPECT_EQ(module.Color(), 149 % 8);
    return elapsed;
}

// Lower bounds only: pacing must never let bytes through faster than the line would
// carry them; how much slower a loaded machine is does not matter here.
TEST(PtyModule, PacedModuleTakesAndSendsBytesNoFasterThanTheLine) {
    ModuleOptions options;
    options.start_baud = 240000;
    EXPECT_GE(TimeForColourCommands(options), 65ms) << "the replies alone";

    options.pace_lines = true;
    EXPECT_GE(TimeForColourCommands(options), 90ms);
}

}  // namespace

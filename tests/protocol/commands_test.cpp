#include <gtest/gtest.h>

#include <numeric>

#include "module_fixture.h"
#include "protocol/commands.h"

namespace {

using Lines = std::vector<std::string>;
using HostLine = std::pair<int, std::string>;

class CommandsTest : public testing_support::ModuleFixture {
protected:
    void Connect(sim::ModuleOptions options = {}) {
        options.start_baud = 921600;
        StartModule(options);
        ASSERT_TRUE(m_link.OpenPort(m_module->SlavePath(), 921600));
    }
    protocol::ModuleCommands m_commands{m_link, m_log};
};

TEST_F(CommandsTest, CommandLinesCarryTheValueInDecimalAndOneLineFeed) {
    Connect();
    m_commands.SendCommand(protocol::kBrightnessPrefix, 2);
    m_commands.SendCommand(protocol::kColorPrefix, 5);
    m_commands.SendCommand(protocol::kLcdModelPrefix, 1);
    const auto lines = HostLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].second, "set brightness to: 2\n");
    EXPECT_EQ(lines[0].second.size(), 21u);
    EXPECT_EQ(lines[1].second, "set color to: 5\n");
    EXPECT_EQ(lines[2].second, "set LCD model to: 1\n");
    EXPECT_EQ(m_module->Brightness(), 2);
    EXPECT_EQ(m_module->Color(), 5);
    EXPECT_EQ(m_module->LcdModel(), 1);
    // Every reply is logged verbatim and nothing else.
    ASSERT_EQ(m_log.Entries().size(), 3u);
    for (const auto& entry : m_log.Entries()) EXPECT_TRUE(entry.is_reply);
}

TEST_F(CommandsTest, WithoutAPortNothingIsSentAndTheErrorIsLoggedOnce) {
    StartModule({});
    m_commands.SendCommand(protocol::kColorPrefix, 7);
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    bool filled = false;
    EXPECT_FALSE(m_commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t>) { filled = true; }));
    EXPECT_FALSE(filled);
    EXPECT_EQ(m_log.Texts(), (Lines{"错误：串口未打开。", "错误：串口未打开。"}));
    EXPECT_TRUE(m_module->Transcript().empty());
}

std::vector<std::uint8_t> TestFrame() {
    std::vector<std::uint8_t> frame(protocol::FrameBytes);
    std::iota(frame.begin(), frame.end(), 0);  // every byte value, 0x0A and 0x00 included
    return frame;
}

TEST_F(CommandsTest, FrameExchangeSendsHeaderThenExactlyTheFrame) {
    Connect();
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    std::string header_reply_seen;
    ASSERT_TRUE(m_commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t> frame) {
        header_reply_seen = reinterpret_cast<const char*>(frame.data());
        const auto pattern = TestFrame();
        std::copy(pattern.begin(), pattern.end(), frame.begin());
    }));
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), TestFrame());
    const auto lines = HostLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].second, "pixels: 0,0,480,480\n");
    EXPECT_EQ(lines[0].second.size(), 20u);
    // The header's reply was read into the buffer before the frame was built there, and
    // both replies reached the log.
    EXPECT_EQ(header_reply_seen, m_log.Texts().at(0));
    EXPECT_EQ(m_log.Entries().size(), 2u);
}

TEST_F(CommandsTest, SilentModuleStillGetsThePayloadAfterTheHeaderReadTimesOut) {
    sim::ModuleOptions options;
    options.silent = true;
    Connect(options);
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    ASSERT_TRUE(m_commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t> frame) {
        EXPECT_EQ(frame[0], 0);  // nothing was read into the zeroed buffer
        const auto pattern = TestFrame();
        std::copy(pattern.begin(), pattern.end(), frame.begin());
    }));
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), TestFrame());
    EXPECT_TRUE(m_log.Entries().empty());
}

TEST_F(CommandsTest, FailureWhileBuildingTheFrameSendsNoPayload) {
    Connect();
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    EXPECT_THROW(m_commands.ExchangeFrame(
                     buffer, [](std::span<std::uint8_t>) { throw std::runtime_error("bad"); }),
                 std::runtime_error);
    EXPECT_EQ(HostLines().size(), 1u);  // the header went out, its reply was read
    EXPECT_EQ(m_log.Entries().size(), 1u);
    EXPECT_EQ(m_module->FramesReceived(), 0);
}

// The module holds its line for the payload's wire time: the host's write waits it out,
// and the final reply then comes in time for the host's read.
TEST(PacedFrameTest, FrameCostsTheWireTimeAndBothRepliesLandInTheirExchange) {
    sim::ModuleOptions options;
    options.start_baud = 921600;
    sim::PtyModule module(options);
    module.Start();
    const auto platform = serial::MakeNativeSerialPlatform();
    testing_support::RecordingLog log;
    serial::SerialLink link(*platform, log);
    protocol::ModuleCommands commands(link, log);
    ASSERT_TRUE(link.OpenPort(module.SlavePath(), 921600));
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    for (int frame = 0; frame < 2; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(commands.ExchangeFrame(buffer, [](std::span<std::uint8_t>) {}));
        // 288,000 bit times at 921,600 bit/s: 312 ms; a lower bound only.
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
    }
    EXPECT_EQ(log.Texts(), (Lines{"ok, send 28800 bytes\n", "ok, frame 28800 bytes\n",
                                  "ok, send 28800 bytes\n", "ok, frame 28800 bytes\n"}));
}

TEST_F(CommandsTest, ReplyWithSeveralLineFeedsInOneChunkIsOneLogEntry) {
    sim::ModuleOptions options;
    options.reply_prefix = "note\n";
    Connect(options);
    m_commands.SendCommand(protocol::kColorPrefix, 3);
    ASSERT_EQ(m_log.Entries().size(), 1u);
    EXPECT_EQ(m_log.Entries()[0].text.rfind("note\n", 0), 0u);
}

}  // namespace

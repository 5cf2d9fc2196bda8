#include <gtest/gtest.h>

#include <numeric>

#include "protocol/commands.h"
#include "support/module_fixture.h"

namespace {

using testing_support::With;
using Lines = std::vector<std::string>;

class CommandsTest : public testing_support::ModuleFixture {
protected:
    void Connect(sim::ModuleOptions options = {}) {
        options.start_baud = 921600;
        StartModule(options);
        ASSERT_TRUE(m_link.OpenPort(m_module->SlavePath(), 921600));
    }
    // Sends TestFrame(); the header's reply, as the frame buffer held it, goes to `seen`.
    bool SendTestFrame(std::string* seen = nullptr) {
        std::vector<std::uint8_t> buffer(protocol::FrameBytes);
        return m_commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t> frame) {
            if (seen) *seen = reinterpret_cast<const char*>(frame.data());
            const auto pattern = TestFrame();
            std::copy(pattern.begin(), pattern.end(), frame.begin());
        });
    }
    static std::vector<std::uint8_t> TestFrame() {
        std::vector<std::uint8_t> frame(protocol::FrameBytes);
        std::iota(frame.begin(), frame.end(), 0);  // every byte value, 0x0A and 0x00 included
        return frame;
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
    EXPECT_EQ(lines[1].second, "set color to: 5\n");
    EXPECT_EQ(lines[2].second, "set LCD model to: 1\n");
    EXPECT_EQ(std::tuple(m_module->Brightness(), m_module->Color(), m_module->LcdModel()),
              std::tuple(2, 5, 1));
    EXPECT_EQ(m_log.Replies().size(), 3u);  // every reply logged, and nothing else
    EXPECT_EQ(m_log.entries.size(), 3u);
}

TEST_F(CommandsTest, WithoutAPortNothingIsSentAndTheErrorIsLoggedOncePerAction) {
    StartModule({});
    m_commands.SendCommand(protocol::kColorPrefix, 7);
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    bool filled = false;
    EXPECT_FALSE(m_commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t>) { filled = true; }));
    EXPECT_FALSE(filled);
    EXPECT_EQ(m_log.Texts(), (Lines{"错误：串口未打开。", "错误：串口未打开。"}));
    EXPECT_TRUE(m_module->Transcript().empty());
}

TEST_F(CommandsTest, FrameExchangeSendsHeaderThenExactlyTheFrame) {
    Connect();
    std::string header_reply;
    ASSERT_TRUE(SendTestFrame(&header_reply));
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), TestFrame());
    EXPECT_EQ(HostLines(), (std::vector<std::pair<int, std::string>>{{921600, "pixels: 0,0,480,480\n"}}));
    // The header's reply was read into the buffer before the frame was built there.
    EXPECT_EQ(m_log.Replies(), (Lines{header_reply, "ok, frame 28800 bytes\n"}));
}

TEST_F(CommandsTest, SilentModuleStillGetsThePayloadAfterTheHeaderReadTimesOut) {
    Connect(With([](auto& o) { o.silent = true; }));
    std::string header_reply = "unread";
    ASSERT_TRUE(SendTestFrame(&header_reply));
    EXPECT_EQ(header_reply, "");  // nothing was read into the zeroed buffer
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), TestFrame());
    EXPECT_TRUE(m_log.entries.empty());
}

TEST_F(CommandsTest, FailureWhileBuildingTheFrameSendsNoPayload) {
    Connect();
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    EXPECT_THROW(m_commands.ExchangeFrame(
                     buffer, [](std::span<std::uint8_t>) { throw std::runtime_error("bad"); }),
                 std::runtime_error);
    EXPECT_EQ(HostLines().size(), 1u);  // the header went out, its reply was read
    EXPECT_EQ(m_log.entries.size(), 1u);
    EXPECT_EQ(m_module->FramesReceived(), 0);
}

TEST_F(CommandsTest, ModuleThatStopsReadingEndsTheFrameAtTheWriteDeadline) {
    Connect(With([](auto& o) { o.stall_after_header = true; }));
    EXPECT_FALSE(SendTestFrame());
    EXPECT_EQ(m_log.Lines(), Lines{"错误：串口写入超时。"});
    EXPECT_EQ(m_log.Replies().size(), 1u);  // the header's; no final read
    EXPECT_TRUE(m_link.IsOpen());
}

TEST_F(CommandsTest, VanishedModuleIsReportedOncePerAction) {
    Connect(With([](auto& o) { o.hang_up_after_bytes = 20; }));  // gone after the header
    EXPECT_FALSE(SendTestFrame());
    m_commands.SendCommand(protocol::kColorPrefix, 1);
    EXPECT_EQ(m_log.Lines(), (Lines{"错误：串口已断开。", "错误：串口已断开。"}));
}

}  // namespace

// The module's language against the simulated module: negotiation, commands, frames.
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "support/module_fixture.h"
#include "support/scripted_serial.h"

namespace {

using protocol::NegotiationOutcome;
using testing_support::Module;
using Lines = std::vector<std::string>;
using HostLine = std::pair<int, std::string>;

const std::string kNotFound = "尝试与模块通信时失败，模块的波特率未知。";

class HandshakeTest : public testing_support::ModuleFixture {
protected:
    NegotiationOutcome Negotiate(const std::string& chosen = "921600") {
        return m_negotiator.Negotiate(m_module->SlavePath(), chosen);
    }
    protocol::LinkNegotiator m_negotiator{m_link, m_log};
};

TEST_F(HandshakeTest, FreshModuleIsFoundAtPowerUpSpeedAndMovedToTheChosenOne) {
    StartModule({});
    EXPECT_EQ(Negotiate(), NegotiationOutcome::Connected);
    EXPECT_EQ(HostLines(), (std::vector<HostLine>{{2400, "hello, please set baudrate to: 0\n"},
                                                  {2400, "hello, please set baudrate to: 921600\n"},
                                                  {921600, "hello, please set baudrate to: 0\n"}}));
    EXPECT_EQ(m_log.Texts(), (Lines{"baudrate 2400...", "yes, current baudrate is: 2400\n",
                                    "baudrate 2400...", "yes, current baudrate is: 2400\n",
                                    "baudrate 921600...", "yes, current baudrate is: 921600\n",
                                    "初始化成功，双方的当前波特率：921600"}));
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_EQ(m_module->Baud(), 921600);
}

TEST_F(HandshakeTest, ModuleAlreadyAtTheChosenSpeedIsAskedForNoChange) {
    StartModule(Module().StartingAt(3037974));
    EXPECT_EQ(Negotiate("3037974"), NegotiationOutcome::Connected);
    EXPECT_EQ(HostLines(),
              std::vector<HostLine>(3, {3037974, "hello, please set baudrate to: 0\n"}));
    EXPECT_EQ(
        m_log.Lines(),
        (Lines{"baudrate 2400...", "baudrate 9600...", "baudrate 115200...", "baudrate 921600...",
               "baudrate 2016806...", "baudrate 3037974...", "baudrate 3037974...",
               "baudrate 3037974...", "初始化成功，双方的当前波特率：3037974"}));
}

TEST_F(HandshakeTest, OutcomesOfModulesThatFailOrMislead) {
    const struct {
        const char* name;
        sim::ModuleOptions options;
        NegotiationOutcome outcome;
        std::string last_line;
    } cases[] = {
        {"no module", Module().Silent(), NegotiationOutcome::ModuleNotFound, kNotFound},
        {"a NUL before the mark", Module().ReplyingAfter(std::string(1, '\0')),
         NegotiationOutcome::ModuleNotFound, kNotFound},
        {"refused change", Module().RefusingSpeedChange(), NegotiationOutcome::ChangeRefused,
         "设置新波特率失败。"},
        {"silence after the change", Module().MuteAfterSpeedChange(),
         NegotiationOutcome::NotFollowed, "错误：设置新波特率后，未能正确初始化。"},
        {"bytes before the mark", Module().ReplyingAfter("#boot ok# "),
         NegotiationOutcome::Connected, "初始化成功，双方的当前波特率：921600"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_log = {};
        StartModule(c.options);
        EXPECT_EQ(Negotiate(), c.outcome);
        EXPECT_EQ(m_log.Lines().back(), c.last_line);
        EXPECT_EQ(m_link.IsOpen(), c.outcome == NegotiationOutcome::Connected);
    }
    // With no module, each of the seven speeds was tried once, in order.
    m_log = {};
    StartModule(Module().Silent());
    Negotiate();
    EXPECT_EQ(m_log.Texts(), (Lines{"baudrate 2400...", "baudrate 9600...", "baudrate 115200...",
                                    "baudrate 921600...", "baudrate 2016806...",
                                    "baudrate 3037974...", "baudrate 5000000...", kNotFound}));
}

// A hello that cannot be written ends the negotiation, and so does a stop, in the stage it
// reached: its read ends at once and no further hello is sent.
TEST(HandshakeWriteTest, DeviceThatTakesNoBytesOrAStopEndsTheNegotiationAtOnce) {
    const std::string probe = "baudrate 2400...", yes = "yes, current baudrate is: 2400\n";
    const struct {
        int answers;  // polls 1 to this many bring the mark
        int stop;     // the poll from which a stop is requested; 0: the write fails
        Lines logged;
    } cases[] = {{0, 0, {probe, "错误：串口写入超时。"}},
                 {0, 1, {probe}},
                 {1, 1, {probe, yes}},
                 {1, 2, {probe, yes, probe}},
                 {2, 3, {probe, yes, probe, yes, "baudrate 921600..."}}};
    for (const auto& c : cases) {
        testing_support::ScriptedPlatform platform;
        testing_support::RecordingLog log;
        serial::SerialLink link(platform, log);
        protocol::LinkNegotiator negotiator(link, log);
        for (int poll = 1; poll <= c.answers; ++poll) platform.line.chunks_at_poll[poll] = yes;
        if (c.stop == 0)
            platform.line.write_outcome = serial::WriteOutcome::TimedOut;
        link.SetStopRequested([&] { return c.stop && platform.line.polls >= c.stop; });
        EXPECT_EQ(negotiator.Negotiate("ttyS0", "921600"),
                  c.stop ? NegotiationOutcome::Stopped : NegotiationOutcome::LinkLost);
        EXPECT_EQ(log.Texts(), c.logged);
        EXPECT_FALSE(link.IsOpen());
    }
}

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
            if (seen)
                *seen = reinterpret_cast<const char*>(frame.data());
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

TEST_F(CommandsTest, FrameExchangeSendsHeaderThenExactlyTheFrameAnsweredOrNot) {
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent module" : "answering module");
        m_log = {};
        Connect(silent ? Module().Silent() : sim::ModuleOptions{});
        std::string header_reply = "unread";
        ASSERT_TRUE(SendTestFrame(&header_reply));
        ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
        EXPECT_EQ(m_module->LastFrame(), TestFrame());
        EXPECT_EQ(HostLines(), (std::vector<HostLine>{{921600, "pixels: 0,0,480,480\n"}}));
        // The header's reply was read into the buffer before the frame was built there; from
        // a silent module, nothing was read into the zeroed buffer.
        EXPECT_EQ(m_log.Texts(),
                  silent ? Lines() : (Lines{header_reply, "ok, frame 28800 bytes\n"}));
        EXPECT_EQ(header_reply.empty(), silent);
        EXPECT_EQ(m_commands.LastReplyMissing(), silent);
        m_commands.SendCommand(protocol::SettingNamed("color").prefix, 1);
        EXPECT_EQ(m_commands.LastReplyMissing(), silent);
    }
}

// The panel builds its frame between the two steps: they must do what the one call does.
TEST_F(CommandsTest, TwoStepExchangeMatchesTheOneCall) {
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent module" : "answering module");
        const auto run = [&](bool two_steps) {
            m_log = {};
            Connect(silent ? Module().Silent() : sim::ModuleOptions{});
            EXPECT_TRUE(two_steps ? m_commands.SendFrameHeader() &&
                                        m_commands.SendFramePayload(TestFrame())
                                  : SendTestFrame());
            EXPECT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
            return std::tuple(HostLines(), m_log.Texts(), m_module->LastFrame(),
                              m_commands.LastReplyMissing());
        };
        EXPECT_EQ(run(true), run(false));
    }
    m_link.ClosePort();
    m_log = {};
    EXPECT_FALSE(m_commands.SendFrameHeader());
    EXPECT_EQ(m_log.Lines(), Lines{protocol::kPortNotOpen});
}

TEST_F(CommandsTest, ModuleThatStopsReadingEndsTheFrameAtTheWriteDeadline) {
    Connect(Module().StallingAfterHeader());
    EXPECT_FALSE(SendTestFrame());
    EXPECT_EQ(m_log.Lines(), Lines{"错误：串口写入超时。"});
    EXPECT_EQ(m_log.Replies().size(), 1u);  // the header's; no final read
    EXPECT_TRUE(m_link.IsOpen());
}

TEST_F(CommandsTest, VanishedModuleIsReportedOncePerAction) {
    Connect(Module().HangingUpAfter(20));  // gone after the header
    EXPECT_FALSE(SendTestFrame());
    m_commands.SendCommand(protocol::SettingNamed("color").prefix, 1);
    EXPECT_EQ(m_log.Lines(), (Lines{"错误：串口已断开。", "错误：串口已断开。"}));
}

}  // namespace

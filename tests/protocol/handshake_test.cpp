#include <gtest/gtest.h>

#include <filesystem>

#include "module_fixture.h"
#include "protocol/handshake.h"
#include "protocol/str_to_int.h"

namespace {

using protocol::NegotiationOutcome;
using Lines = std::vector<std::string>;
using HostLine = std::pair<int, std::string>;

const std::string kFound = "尝试与模块通信时失败，模块的波特率未知。";

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
    sim::ModuleOptions options;
    options.start_baud = 3037974;
    StartModule(options);
    EXPECT_EQ(Negotiate("3037974"), NegotiationOutcome::Connected);
    EXPECT_EQ(HostLines(),
              (std::vector<HostLine>{{3037974, "hello, please set baudrate to: 0\n"},
                                     {3037974, "hello, please set baudrate to: 0\n"},
                                     {3037974, "hello, please set baudrate to: 0\n"}}));
    EXPECT_EQ(
        m_log.Lines(),
        (Lines{"baudrate 2400...", "baudrate 9600...", "baudrate 115200...", "baudrate 921600...",
               "baudrate 2016806...", "baudrate 3037974...", "baudrate 3037974...",
               "baudrate 3037974...", "初始化成功，双方的当前波特率：3037974"}));
}

TEST_F(HandshakeTest, ProbesAtWrongSpeedsLogOnlyTheirNoise) {
    sim::ModuleOptions options;
    options.start_baud = 115200;
    options.wrong_speed = sim::WrongSpeedMode::Noise;
    StartModule(options);
    EXPECT_EQ(Negotiate(), NegotiationOutcome::Connected);
    const auto& entries = m_log.Entries();
    ASSERT_GE(entries.size(), 6u);
    EXPECT_EQ(entries[0].text, "baudrate 2400...");
    EXPECT_TRUE(entries[1].is_reply);  // the noise is logged, and refused
    EXPECT_EQ(entries[2].text, "baudrate 9600...");
    EXPECT_TRUE(entries[3].is_reply);
    EXPECT_EQ(entries[4].text, "baudrate 115200...");
    EXPECT_EQ(entries[5].text, "yes, current baudrate is: 115200\n");
    EXPECT_EQ(m_module->Baud(), 921600);
}

// A module that fails the link somewhere: the outcome, the panel's last line, and the
// port closed.
struct FailureCase {
    const char* name;
    sim::ModuleOptions options;
    NegotiationOutcome outcome;
    std::string last_line;
};

sim::ModuleOptions With(void (*set)(sim::ModuleOptions&)) {
    sim::ModuleOptions options;
    set(options);
    return options;
}

TEST_F(HandshakeTest, FailuresAreNamedAndLeaveThePortClosed) {
    const FailureCase cases[] = {
        {"no module", With([](auto& o) { o.silent = true; }), NegotiationOutcome::ModuleNotFound,
         kFound},
        {"a NUL before the mark", With([](auto& o) { o.reply_prefix = std::string(1, '\0'); }),
         NegotiationOutcome::ModuleNotFound, kFound},
        {"refused change", With([](auto& o) { o.refuse_speed_change = true; }),
         NegotiationOutcome::ChangeRefused, "设置新波特率失败。"},
        {"silence after the change", With([](auto& o) { o.mute_after_speed_change = true; }),
         NegotiationOutcome::NotFollowed, "错误：设置新波特率后，未能正确初始化。"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_log = {};
        StartModule(c.options);
        EXPECT_EQ(Negotiate(), c.outcome);
        EXPECT_EQ(m_log.Lines().back(), c.last_line);
        EXPECT_FALSE(m_link.IsOpen());
    }
    // With no module, each of the seven speeds was tried once, in order.
    m_log = {};
    StartModule(With([](auto& o) { o.silent = true; }));
    Negotiate();
    EXPECT_EQ(m_log.Texts(), (Lines{"baudrate 2400...", "baudrate 9600...", "baudrate 115200...",
                                    "baudrate 921600...", "baudrate 2016806...",
                                    "baudrate 3037974...", "baudrate 5000000...", kFound}));
}

TEST_F(HandshakeTest, BytesBeforeTheMarkAreAccepted) {
    StartModule(With([](auto& o) { o.reply_prefix = "#boot ok# "; }));
    EXPECT_EQ(Negotiate(), NegotiationOutcome::Connected);
}

TEST_F(HandshakeTest, ChosenTextThatIsNoNumberStopsAfterFindingTheModule) {
    StartModule({});
    EXPECT_THROW(Negotiate("fast"), protocol::EConvertError);
    EXPECT_EQ(m_log.Lines(), Lines{"baudrate 2400..."});
    // The port stays open at the speed the module answered at.
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_EQ(m_module->Baud(), 2400);
}

TEST_F(HandshakeTest, TypedPortNameIsUsedAsTyped) {
    const std::string link =
        (std::filesystem::temp_directory_path() / ("lcd-typed-" + std::to_string(::getpid())))
            .string();
    sim::ModuleOptions options;
    options.link_path = link;
    StartModule(options);
    EXPECT_EQ(m_negotiator.Negotiate(link, "115200"), NegotiationOutcome::Connected);
    EXPECT_EQ(m_module->Baud(), 115200);
}

TEST_F(HandshakeTest, ReopenedPortRunsAtTheSpeedAskedFor) {
    StartModule({});
    ASSERT_TRUE(m_negotiator.HandshakeAt(m_module->SlavePath(), 2400, 2400));
    EXPECT_EQ(m_log.Texts(), (Lines{"baudrate 2400...", "yes, current baudrate is: 2400\n"}));
    // A second handshake first closes the port it replaces.
    EXPECT_FALSE(m_negotiator.HandshakeAt(m_module->SlavePath(), 9600, 0));
    EXPECT_FALSE(m_link.IsOpen());
}

}  // namespace

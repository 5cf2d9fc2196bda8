// The open button and the link on real devices that fail: a port that cannot be opened, a
// module that stays silent, an adapter pulled out and plugged in again.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "app/panel.h"
#include "sim/module_sim.h"
#include "support/fake_view.h"
#include "support/listed_ports.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The seven probes and the failure line, as they always come when no module answers.
Lines ModuleNotFoundLines() {
    Lines lines;
    for (const char* speed : {"2400", "9600", "115200", "921600", "2016806", "3037974", "5000000"})
        lines.push_back(std::string("baudrate ") + speed + "...");
    lines.push_back("尝试与模块通信时失败，模块的波特率未知。");
    return lines;
}

// The native ports, of which each opens `opens_left` more times and is then gone.
class VanishingPorts : public testing_support::ListedPortsPlatform {
public:
    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path,
                                                        serial::OpenFailure* why) override {
        if (opens_left-- > 0)
            return ListedPortsPlatform::OpenExclusive(path, why);
        if (why)
            *why = {ENOENT, "No such file or directory", {}};
        return nullptr;
    }
    int opens_left = 0;
};

class PanelLinkTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_folder); }
    void TearDown() override { fs::remove_all(m_folder); }
    void Open(const std::string& port) {
        m_view.log.clear();
        m_panel.ApplyPortArgument(port);
        m_panel.Run([this] { m_panel.Button2Click(); });
    }
    sim::ModuleOptions ModuleAt(const fs::path& link) {
        sim::ModuleOptions options;
        options.pace = false;
        options.link_path = link.string();
        return options;
    }

    testing_support::ListedPortsPlatform m_platform;
    testing_support::FakeView m_view;
    testing_support::FakeClipboard m_clipboard;
    panel::Panel m_panel{m_view, m_platform, m_clipboard};
    const fs::path m_folder =
        fs::temp_directory_path() / ("panel_link_test_" + std::to_string(::getpid()));
};

TEST_F(PanelLinkTest, APortThatCannotBeOpenedIsNamedWithItsReasonAfterTheUsualLines) {
    const std::string missing = (m_folder / "ttyUSB0").string();
    Open(missing);
    Lines expected = ModuleNotFoundLines();
    expected.push_back("cannot open " + missing + ": No such file or directory");
    EXPECT_EQ(m_view.log, expected);

    sim::ModuleOptions silent;
    silent.silent = true;
    sim::PtyModule module(silent);
    module.Start();
    Open(module.SlavePath());  // it opens: nothing is added
    EXPECT_EQ(m_view.log, ModuleNotFoundLines());
    EXPECT_FALSE(m_panel.Link().IsOpen());

    // Opened for six probes, gone at the last: a port that opened is no unopenable port.
    VanishingPorts vanishing;
    vanishing.opens_left = 6;
    testing_support::FakeView view;
    panel::Panel panel(view, vanishing, m_clipboard);
    panel.ApplyPortArgument(module.SlavePath());
    panel.Run([&panel] { panel.Button2Click(); });
    EXPECT_EQ(view.log, ModuleNotFoundLines());
}

// The link path plays the adapter's /dev/serial/by-id name: the same after a replug, while
// the device behind it is new.
TEST_F(PanelLinkTest, AVanishedPortIsReportedOnceAndOpensAgainWhenItIsBack) {
    const fs::path link = m_folder / "usb-module";
    auto module = std::make_unique<sim::PtyModule>(ModuleAt(link));
    module->Start();
    Open(link.string());
    ASSERT_TRUE(m_panel.Link().IsOpen()) << ::testing::PrintToString(m_view.log);

    module.reset();  // pulled out
    m_view.log.clear();
    m_panel.Run([this] { m_panel.Button3Click(); });
    EXPECT_EQ(m_view.log, Lines{"错误：串口已断开。"});
    m_view.log.clear();
    m_panel.Run([this] { m_panel.RadioGroup2Click(); });  // nothing chosen: nothing sent
    m_view.Choose(panel::Choice::Color, 3);
    m_panel.Run([this] { m_panel.RadioGroup2Click(); });
    EXPECT_EQ(m_view.log, Lines{"错误：串口已断开。"});

    module = std::make_unique<sim::PtyModule>(ModuleAt(link));  // plugged in again
    module->Start();
    Open(link.string());
    ASSERT_TRUE(m_panel.Link().IsOpen()) << ::testing::PrintToString(m_view.log);
    EXPECT_EQ(m_view.log.front(), "baudrate 2400...");
    m_panel.Run([this] { m_panel.Button3Click(); });
    ASSERT_TRUE(module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(module->LastFrame(), std::vector<std::uint8_t>(28800, 15));
}

}  // namespace

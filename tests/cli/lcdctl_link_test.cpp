// lcdctl when the port is not there: the reason it cannot open, and --reconnect across an
// adapter pulled out and plugged in again (a new pseudo-terminal behind the same link).
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QProcess>

#include <filesystem>

#include "sim/module_sim.h"
#include "support/frame_bits.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Frame = std::vector<std::uint8_t>;

using testing_support::GrayFrameFor;
using testing_support::kFrameBytes;

class LcdctlLinkTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_folder); }
    void TearDown() override { fs::remove_all(m_folder); }

    void PlugIn(long hang_up_after_bytes = -1) {
        sim::ModuleOptions options;
        options.pace = false;
        options.link_path = m_link.string();
        options.hang_up_after_bytes = hang_up_after_bytes;
        m_module = std::make_unique<sim::PtyModule>(options);
        m_module->Start();
    }
    void Start(const QStringList& args) {
        m_lcdctl.start(LCDCTL_PATH,
                       QStringList{"-p", QString::fromStdString(m_link.string())} + args);
        ASSERT_TRUE(m_lcdctl.waitForStarted());
    }
    // A stream that has sent its first frame, then loses its port.
    void StreamThenPullOut(const QStringList& options) {
        PlugIn();
        Start(QStringList{"stream", "--threshold", "128"} + options);
        Feed(1);
        ASSERT_TRUE(m_module->WaitForFrames(1, 10s));
        m_module.reset();
    }
    void Feed(std::uint8_t byte) {
        const std::string gray = GrayFrameFor(byte);
        m_lcdctl.write(gray.data(), static_cast<qint64>(gray.size()));
        while (m_lcdctl.bytesToWrite() > 0 && m_lcdctl.waitForBytesWritten(10000)) {
        }
    }
    // Reads standard error until it holds `text`; false after ten seconds without it.
    bool WaitForError(const std::string& text) {
        for (int i = 0; i < 100 && m_errors.find(text) == std::string::npos; ++i) {
            m_lcdctl.waitForReadyRead(100);
            m_errors += m_lcdctl.readAllStandardError().toStdString();
        }
        return m_errors.find(text) != std::string::npos;
    }
    // The exit status once the input is closed; -1 if it does not end.
    int Finish() {
        m_lcdctl.closeWriteChannel();
        const bool ended =
            m_lcdctl.waitForFinished(20000) && m_lcdctl.exitStatus() == QProcess::NormalExit;
        m_errors += m_lcdctl.readAllStandardError().toStdString();
        return ended ? m_lcdctl.exitCode() : -1;
    }

    const fs::path m_folder =
        fs::temp_directory_path() / ("lcdctl_link_test_" + std::to_string(::getpid()));
    const fs::path m_link = m_folder / "usb-module";
    std::unique_ptr<sim::PtyModule> m_module;
    QProcess m_lcdctl;
    std::string m_errors;
};

TEST_F(LcdctlLinkTest, APortThatCannotBeOpenedIsNamedWithItsReasonAtOnce) {
    Start({"connect"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_EQ(m_errors, "baudrate 921600...\nlcdctl: no link to the module on " + m_link.string() +
                            ": cannot open " + m_link.string() + ": No such file or directory\n");
}

TEST_F(LcdctlLinkTest, AStreamWaitsForThePortAndGoesOnWithEveryFrameInOrder) {
    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--no-drop", "--reconnect=20"}));
    Feed(2);
    ASSERT_TRUE(WaitForError("the module's port is gone; waiting up to 20 s for it to come back"));
    Feed(3);
    PlugIn();
    Feed(4);
    ASSERT_EQ(Finish(), 0) << m_errors;
    EXPECT_EQ(m_module->FrameHashes(),
              (std::vector<std::uint64_t>{sim::FrameHash(Frame(kFrameBytes, 2)),
                                          sim::FrameHash(Frame(kFrameBytes, 3)),
                                          sim::FrameHash(Frame(kFrameBytes, 4))}));
    EXPECT_NE(m_errors.find("4 sent, 0 dropped"), std::string::npos) << m_errors;
    EXPECT_NE(m_errors.find("1 reconnected"), std::string::npos) << m_errors;
    // The new module is found from its power-up speed.
    EXPECT_NE(m_errors.find("baudrate 2400...", m_errors.find("waiting up to")), std::string::npos);
}

// With drops allowed, what was not sent counts as dropped, and the newest frame still comes.
TEST_F(LcdctlLinkTest, AStreamThatDropsCountsEveryFrameItDidNotSend) {
    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--reconnect"}));
    for (std::uint8_t byte = 2; byte <= 4; ++byte) Feed(byte);
    ASSERT_TRUE(WaitForError("waiting up to 30 s"));
    PlugIn();
    ASSERT_EQ(Finish(), 0) << m_errors;
    ASSERT_GE(m_module->FramesReceived(), 1);
    EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, 4));
    const std::string summary = std::to_string(1 + m_module->FramesReceived()) + " sent, " +
                                std::to_string(3 - m_module->FramesReceived()) + " dropped";
    EXPECT_NE(m_errors.find(summary), std::string::npos) << m_errors;
}

TEST_F(LcdctlLinkTest, APortThatStaysAwayEndsTheWaitAtItsDeadlineOrAtCtrlC) {
    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--reconnect=1"}));
    Feed(2);
    EXPECT_EQ(Finish(), 1);
    EXPECT_NE(m_errors.find("lcdctl: the link did not come back within 1 s"), std::string::npos)
        << m_errors;

    m_errors.clear();
    ASSERT_NO_FATAL_FAILURE(StreamThenPullOut({"--reconnect=600"}));
    Feed(2);
    ASSERT_TRUE(WaitForError("waiting up to 600 s"));
    ::kill(static_cast<pid_t>(m_lcdctl.processId()), SIGINT);
    EXPECT_TRUE(m_lcdctl.waitForFinished(5000));
    EXPECT_EQ(m_lcdctl.exitCode(), 130);
}

// A single picture that the lost link cut off in the middle goes again, whole, to the
// module that comes back.
TEST_F(LcdctlLinkTest, SendWithReconnectSendsThePictureAgainOnceThePortIsBack) {
    const fs::path picture = m_folder / "stripes.pgm";
    {
        std::string pgm = "P5\n480 480\n255\n" + GrayFrameFor(15);
        FILE* out = std::fopen(picture.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(pgm.data(), 1, pgm.size(), out);
        std::fclose(out);
    }
    PlugIn(5000);  // gone in the middle of the payload
    Start({"send", QString::fromStdString(picture.string()), "--fit", "none", "--threshold", "128",
           "--reconnect=20"});
    ASSERT_TRUE(WaitForError("waiting up to 20 s"));
    EXPECT_EQ(m_module->FramesReceived(), 0);
    m_module.reset();
    PlugIn();
    ASSERT_EQ(Finish(), 0) << m_errors;
    EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, 15));
}

}  // namespace

// Why a port does not open, in the system's words and with the remedy a user needs, from
// the POSIX backend on real devices.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "serial/serial_link.h"
#include "sim/pseudo_terminal.h"
#include "support/recording_log.h"

namespace {

namespace fs = std::filesystem;

class OpenFailureTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_folder); }
    void TearDown() override { fs::remove_all(m_folder); }

    // Opens `path`, which must fail, and gives the reason.
    serial::OpenFailure FailureOpening(const std::string& path) {
        serial::OpenFailure why;
        EXPECT_EQ(m_platform->OpenExclusive(path, &why), nullptr) << path;
        return why;
    }

    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeNativeSerialPlatform();
    const fs::path m_folder =
        fs::temp_directory_path() / ("open_failure_test_" + std::to_string(::getpid()));
};

TEST_F(OpenFailureTest, MissingBusyAndNonTerminalDevicesSayWhy) {
    const std::string missing = (m_folder / "ttyUSB7").string();
    const serial::OpenFailure gone = FailureOpening(missing);
    EXPECT_EQ(gone.code, ENOENT);
    EXPECT_EQ(serial::DescribeOpenFailure(missing, gone),
              "cannot open " + missing + ": No such file or directory");

    sim::PseudoTerminal pty(9600);
    const auto held = m_platform->OpenExclusive(pty.SlavePath());
    ASSERT_NE(held, nullptr);
    const serial::OpenFailure busy = FailureOpening(pty.SlavePath());
    EXPECT_EQ(busy.code, EBUSY);
    EXPECT_EQ(busy.reason, "Device or resource busy");
    EXPECT_EQ(busy.remedy,
              "another program holds the port (fuser -v " + pty.SlavePath() + " names it)");

    const std::string file = (m_folder / "notes.txt").string();
    std::ofstream(file) << "not a port\n";
    const serial::OpenFailure plain = FailureOpening(file);
    EXPECT_EQ(plain.code, ENOTTY);
    EXPECT_EQ(serial::DescribeOpenFailure(file, plain),
              "cannot open " + file + ": not a serial port");
}

// A user outside the port's group: root is not refused, so the open runs in a child that has
// given up root first.
TEST_F(OpenFailureTest, APortWithoutPermissionNamesTheDialoutGroup) {
    const std::string port = (m_folder / "ttyS9").string();
    std::ofstream(port) << "";
    fs::permissions(port, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(m_folder, fs::perms::all);
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe_ends[0]);
        const bool root = ::geteuid() == 0;
        if (root ? ::setgid(65534) != 0 || ::setuid(65534) != 0 : ::chmod(port.c_str(), 0) != 0)
            ::_exit(2);
        serial::OpenFailure why;
        const bool opened = m_platform->OpenExclusive(port, &why) != nullptr;
        const std::string text = serial::DescribeOpenFailure(port, why);
        const bool told =
            ::write(pipe_ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(opened ? 4 : told && why.code == EACCES ? 0 : 5);
    }
    ::close(pipe_ends[1]);
    std::string text;
    char chunk[512];
    for (ssize_t n; (n = ::read(pipe_ends[0], chunk, sizeof chunk)) > 0;) text.append(chunk, n);
    ::close(pipe_ends[0]);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(text, "cannot open " + port +
                        ": Permission denied; join the dialout group (sudo usermod -aG dialout "
                        "$USER), then log in again");
}

TEST_F(OpenFailureTest, TheLinkKeepsTheReasonOnlyWhileTheDeviceDidNotOpen) {
    testing_support::RecordingLog log;
    serial::SerialLink link(*m_platform, log);
    sim::PseudoTerminal pty(9600);
    ASSERT_FALSE(link.OpenPort((m_folder / "gone").string(), 9600));
    ASSERT_TRUE(link.LastOpenFailure().has_value());
    EXPECT_EQ(link.LastOpenFailure()->code, ENOENT);

    EXPECT_FALSE(link.OpenPort(pty.SlavePath(), 0));  // opened, but refused the speed
    EXPECT_FALSE(link.LastOpenFailure().has_value());
    ASSERT_FALSE(link.OpenPort((m_folder / "gone").string(), 9600));
    EXPECT_TRUE(link.OpenPort(pty.SlavePath(), 9600));
    EXPECT_FALSE(link.LastOpenFailure().has_value());
    EXPECT_TRUE(log.entries.empty());  // the caller decides what to log
}

}  // namespace

// The POSIX backend on real devices: pseudo-terminals, files, and why a port does not open.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "serial/serial_link.h"
#include "serial/termios2_linux.h"
#include "support/pty_device.h"
#include "support/recording_log.h"

namespace {

using serial::WriteOutcome;
using testing_support::ReadAtDevice;
using testing_support::RecordingLog;
using testing_support::WriteFromDevice;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

class PosixSerialTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_folder); }
    void TearDown() override { fs::remove_all(m_folder); }
    const std::string& Port() const { return m_pty.SlavePath(); }
    // Opens `path`, which must fail, and gives the reason.
    serial::OpenFailure FailureOpening(const std::string& path) {
        serial::OpenFailure why;
        EXPECT_EQ(m_platform->OpenExclusive(path, &why), nullptr) << path;
        return why;
    }
    bool Exclusive(int fd) {
        int exclusive = -1;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        return exclusive == 1;
    }

    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeNativeSerialPlatform();
    RecordingLog m_log;
    serial::SerialLink m_link{*m_platform, m_log};
    sim::PseudoTerminal m_pty{9600};
    const fs::path m_folder =
        fs::temp_directory_path() / ("posix_serial_test_" + std::to_string(::getpid()));
};

TEST_F(PosixSerialTest, EverySpeedIsSetExactlyAndEveryByteValuePassesBothWays) {
    for (const int speed : {2400, 9600, 2016806, 3037974, 5000000, 0, -9600, 115200}) {
        ASSERT_EQ(m_link.OpenPort(Port(), speed), speed > 0) << speed;
        EXPECT_TRUE(speed <= 0 || serial::termios2::OutputSpeed(m_pty.Master()) == speed);
    }
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    EXPECT_TRUE(m_link.SendBytes(all));
    EXPECT_EQ(ReadAtDevice(m_pty, 256), all);

    // Without its line feed (and the NUL that would hide it) the read runs to silence.
    std::string no_lf = all.substr(1);
    no_lf.erase(9, 1);
    WriteFromDevice(m_pty, no_lf);
    std::uint8_t buffer[512] = {};
    ASSERT_EQ(m_link.ReadReply(buffer, sizeof buffer, '\n'), no_lf.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), no_lf.size()), no_lf);
}

TEST_F(PosixSerialTest, PortIsOursAloneAndOtherHoldersAreLeftAlone) {
    const int bystander = ::open(Port().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(bystander, 0);
    ASSERT_TRUE(m_link.OpenPort(Port(), 9600));
    EXPECT_FALSE(m_platform->PortIsFree(Port()));             // our lock, as /proc/locks lists it
    const serial::OpenFailure busy = FailureOpening(Port());  // not even from this process
    EXPECT_EQ(std::tuple(busy.code, busy.reason, busy.remedy),
              std::tuple(EBUSY, "Device or resource busy",
                         "held by " + std::string(program_invocation_short_name).substr(0, 15) +
                             " (pid " + std::to_string(::getpid()) + ")"));
    EXPECT_TRUE(Exclusive(bystander));
    m_link.ClosePort();  // our flag goes with us, or it would lock out the next open
    EXPECT_FALSE(Exclusive(bystander));

    // Another program holds the port's lock, or marked it exclusive: it is busy, even for
    // root, and its flag and its speed stay as they were.
    ASSERT_EQ(::flock(bystander, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(m_link.OpenPort(Port(), 115200));
    ::flock(bystander, LOCK_UN);
    ASSERT_EQ(::ioctl(bystander, TIOCEXCL), 0);
    EXPECT_FALSE(m_link.OpenPort(Port(), 115200));
    EXPECT_TRUE(Exclusive(bystander));
    EXPECT_EQ(serial::termios2::OutputSpeed(m_pty.Master()), 9600);
    ::close(bystander);
}

TEST_F(PosixSerialTest, DeviceThatStopsReadingEndsTheWriteAtItsDeadline) {
    auto device = m_platform->OpenExclusive(Port());
    ASSERT_TRUE(device && device->ApplyLineSettings(921600));
    const std::string frame(100000, '\x55');  // more than the pseudo-terminal buffers
    const auto start = Clock::now();
    const serial::WriteResult result =
        device->Write(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size(),
                      std::chrono::milliseconds(300));
    EXPECT_EQ(result.outcome, WriteOutcome::TimedOut);
    EXPECT_LT(result.written, frame.size());
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3)) << "the deadline did not hold";
}

TEST_F(PosixSerialTest, VanishedDeviceIsReportedAndReadsStillEnd) {
    ASSERT_TRUE(m_link.OpenPort(Port(), 921600));
    WriteFromDevice(m_pty, "abc");
    m_pty.Close();
    std::uint8_t buffer[64] = {};
    EXPECT_LE(m_link.ReadReply(buffer, sizeof buffer, '\n'), 3u);
    EXPECT_FALSE(m_link.SendBytes(std::string(28800, '\x55')));
    EXPECT_EQ(m_link.LastWriteOutcome(), WriteOutcome::Disconnected);
    EXPECT_EQ(m_log.Lines(), std::vector<std::string>{"错误：串口已断开。"});
}

// Each says why, in the system's words; a file is left as it was.
TEST_F(PosixSerialTest, WhatIsNoTerminalNeverOpensAsAPortAndIsLeftUntouched) {
    const std::string file = (m_folder / "notes.txt").string();
    const std::string gone = (m_folder / "ttyUSB7").string();
    std::ofstream(file) << "keep";
    const std::tuple<std::string, int, std::string> cases[] = {
        {file, ENOTTY, "not a serial port"},
        {gone, ENOENT, "No such file or directory"},
        {"/dev/null", ENOTTY, "not a serial port"},
        {"/tmp", EISDIR, "Is a directory"}};
    for (const auto& [path, code, reason] : cases) {
        const serial::OpenFailure why = FailureOpening(path);
        EXPECT_EQ(why.code, code) << path;
        EXPECT_EQ(serial::DescribeOpenFailure(path, why), "cannot open " + path + ": " + reason);
        EXPECT_FALSE(m_link.OpenPort(path, 9600)) << path;
    }
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
}

// A user outside the port's group: root is not refused, so the open, and the scan's check,
// run in a child that has given up root first.
TEST_F(PosixSerialTest, APortWithoutPermissionNamesTheDialoutGroup) {
    const std::string port = (m_folder / "ttyS9").string();
    std::ofstream(port) << "";
    fs::permissions(port, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(m_folder, fs::perms::all);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 ? ::setgid(65534) != 0 || ::setuid(65534) != 0
                                 : ::chmod(port.c_str(), 0) != 0)
                std::exit(2);
            serial::OpenFailure why;
            const bool opened = m_platform->OpenExclusive(port, &why) != nullptr;
            std::fputs(serial::DescribeOpenFailure(port, why).c_str(), stderr);
            std::exit(opened || why.code != EACCES || m_platform->PortIsFree(port) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0),
        "^cannot open " + port +
            R"(: Permission denied; join the dialout group \(sudo usermod -aG dialout \$USER\), )"
            "then log in again$");
}

TEST_F(PosixSerialTest, TheLinkKeepsTheReasonOnlyWhileTheDeviceDidNotOpen) {
    const std::string gone = (m_folder / "gone").string();
    ASSERT_FALSE(m_link.OpenPort(gone, 9600));
    ASSERT_TRUE(m_link.LastOpenFailure().has_value());
    EXPECT_EQ(m_link.LastOpenFailure()->code, ENOENT);
    EXPECT_FALSE(m_link.OpenPort(Port(), 0));  // opened, but refused the speed
    EXPECT_FALSE(m_link.LastOpenFailure().has_value());
    ASSERT_FALSE(m_link.OpenPort(gone, 9600));
    EXPECT_TRUE(m_link.OpenPort(Port(), 9600));
    EXPECT_FALSE(m_link.LastOpenFailure().has_value());
    EXPECT_TRUE(m_log.entries.empty());  // the caller decides what to log
}

TEST(PosixPortNamesTest, NamesMapToDevicePaths) {
    const auto platform = serial::MakeNativeSerialPlatform();
    EXPECT_EQ(platform->DevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(platform->DevicePath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(platform->DevicePath("./link"), "./link");
}

}  // namespace

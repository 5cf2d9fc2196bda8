#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "fake_serial.h"
#include "pty_pair.h"
#include "serial/port_scan.h"
#include "serial/serial_link.h"
#include "serial/termios2_linux.h"

namespace {

using testing_support::PtyPair;
using testing_support::RecordingLog;

class PosixSerialTest : public ::testing::Test {
protected:
    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeNativeSerialPlatform();
    RecordingLog m_log;
    serial::SerialLink m_link{*m_platform, m_log};
    PtyPair m_pty;
};

TEST_F(PosixSerialTest, EveryModuleSpeedIsSetExactly) {
    for (const int speed : {2400, 9600, 115200, 921600, 2016806, 3037974, 5000000}) {
        ASSERT_TRUE(m_link.OpenPort(m_pty.SlavePath(), speed)) << speed;
        EXPECT_EQ(serial::termios2::OutputSpeed(m_pty.Master()), speed);
    }
    EXPECT_FALSE(m_link.OpenPort(m_pty.SlavePath(), 0));
    EXPECT_FALSE(m_link.OpenPort(m_pty.SlavePath(), -9600));
}

TEST_F(PosixSerialTest, EveryByteValuePassesUnchangedBothWays) {
    ASSERT_TRUE(m_link.OpenPort(m_pty.SlavePath(), 115200));
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);

    EXPECT_EQ(m_link.SendBytes(all), 256u);
    EXPECT_EQ(m_pty.ReadAtDevice(256), all);

    // Without the line feed (and without the NUL that would hide it) the read runs to
    // silence and keeps every byte.
    std::string no_lf = all;
    no_lf.erase(10, 1);
    no_lf.erase(0, 1);
    m_pty.WriteFromDevice(no_lf);
    std::uint8_t buffer[512] = {};
    ASSERT_EQ(m_link.ReadReply(buffer, sizeof buffer, '\n'), no_lf.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), no_lf.size()), no_lf);
}

TEST_F(PosixSerialTest, PortIsExclusiveWhileHeldAndFreeAfterwards) {
    ASSERT_TRUE(m_link.OpenPort(m_pty.SlavePath(), 9600));
    // Another open of the same device, from this same process, is refused.
    EXPECT_EQ(m_platform->OpenExclusive(m_pty.SlavePath()), nullptr);
    serial::SerialLink second(*m_platform, m_log);
    EXPECT_FALSE(second.OpenPort(m_pty.SlavePath(), 9600));

    // Exclusive mode must not outlive our hold while someone else keeps the terminal open.
    const int bystander = ::open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(bystander, 0);
    int exclusive = 0;
    ASSERT_EQ(::ioctl(bystander, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    m_link.ClosePort();
    ASSERT_EQ(::ioctl(bystander, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(bystander);

    EXPECT_TRUE(second.OpenPort(m_pty.SlavePath(), 9600));
}

TEST_F(PosixSerialTest, VanishedDeviceEndsReadsAndWritesWithoutHanging) {
    ASSERT_TRUE(m_link.OpenPort(m_pty.SlavePath(), 921600));
    m_pty.WriteFromDevice("abc");
    m_pty.CloseMaster();

    std::uint8_t buffer[64] = {};
    const auto start = std::chrono::steady_clock::now();
    const std::size_t got = m_link.ReadReply(buffer, sizeof buffer, '\n');
    const std::string frame(28800, '\x55');
    const std::size_t written = m_link.SendBytes(frame);
    EXPECT_LE(got, 3u);
    EXPECT_LT(written, frame.size());
    // Generous bound: a hang would be seconds or forever, a read is ~101 polls.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(PosixSerialTest, WhatIsNoTerminalNeverOpensAsAPortAndIsLeftUntouched) {
    char path[] = "/tmp/not_a_port_XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "keep", 4), 4);
    ::close(fd);

    EXPECT_FALSE(m_link.OpenPort(path, 9600));
    EXPECT_FALSE(m_link.OpenPort("/dev/null", 9600));
    EXPECT_FALSE(m_link.OpenPort("/tmp", 9600));
    EXPECT_FALSE(m_link.OpenPort("/dev/no_such_port_here", 9600));
    EXPECT_FALSE(m_link.IsOpen());

    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "keep");
    std::remove(path);
}

TEST(PosixPortNamesTest, NamesMapToDevicePathsAndCandidatesRunInFamilyOrder) {
    const auto platform = serial::MakeNativeSerialPlatform();
    EXPECT_EQ(platform->DevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(platform->DevicePath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(platform->DevicePath("./link"), "./link");

    const std::vector<std::string> names = platform->PortCandidates();
    ASSERT_EQ(names.size(), 400u);
    EXPECT_EQ(names.front(), "ttyS0");
    EXPECT_EQ(names[100], "ttyAMA0");
    EXPECT_EQ(names[200], "ttyACM0");
    EXPECT_EQ(names.back(), "ttyUSB99");
}

// The native platform, with the pty standing in for the one candidate port.
class PtyCandidatePlatform : public serial::SerialPlatform {
public:
    PtyCandidatePlatform(serial::SerialPlatform& native, std::string pty)
        : m_native(native), m_pty(std::move(pty)) {}
    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path) override {
        return m_native.OpenExclusive(path);
    }
    void SleepAboutOneMs() override { m_native.SleepAboutOneMs(); }
    std::string DevicePath(const std::string& name) const override {
        return m_native.DevicePath(name);
    }
    std::vector<std::string> PortCandidates() const override { return {"ttyS999", m_pty}; }

private:
    serial::SerialPlatform& m_native;
    std::string m_pty;
};

TEST_F(PosixSerialTest, ScanListsAFreePortButNotTheOneThisProgramHolds) {
    PtyCandidatePlatform platform(*m_platform, m_pty.SlavePath());
    EXPECT_EQ(serial::ScanPorts(platform), std::vector<std::string>{m_pty.SlavePath()});
    ASSERT_TRUE(m_link.OpenPort(m_pty.SlavePath(), 921600));
    EXPECT_TRUE(serial::ScanPorts(platform).empty());
    EXPECT_TRUE(m_link.IsOpen());
}

}  // namespace

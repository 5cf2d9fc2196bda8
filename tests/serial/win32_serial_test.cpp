// The Win32 backend on real COM ports, named in the environment (cases skip without them):
//   LINK_TEST_PORT          port name with a module attached, e.g. COM5
//   LINK_TEST_MODULE_BAUD   the speed the module listens at (default 2400)
//   LINK_TEST_REPLY_CHUNKS  fewest pieces the module writes a reply in (default 1; 0: silent)
//   LINK_TEST_MISSING_PORT  a COM port name that does not exist here, e.g. COM77

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/recording_log.h"
#include "serial/port_scan.h"
#include "serial/serial_link.h"

namespace {

using testing_support::RecordingLog;

std::string EnvText(const char* name, const char* fallback = "") {
    char value[256];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length == 0 || length >= sizeof value ? fallback : std::string(value, length);
}

// The native platform, counting polls and noting the poll at which each chunk was read.
class CountingPlatform final : public serial::SerialPlatform {
public:
    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path) override {
        std::unique_ptr<serial::SerialDevice> device = m_native->OpenExclusive(path);
        return device ? std::make_unique<CountingDevice>(*this, std::move(device)) : nullptr;
    }
    void SleepAboutOneMs() override {
        ++m_polls;
        m_native->SleepAboutOneMs();
    }
    std::string DevicePath(const std::string& name) const override {
        return m_native->DevicePath(name);
    }
    std::vector<std::string> PortCandidates() const override { return m_native->PortCandidates(); }

    int m_polls = 0;
    std::vector<int> m_chunk_polls;

private:
    class CountingDevice final : public serial::SerialDevice {
    public:
        CountingDevice(CountingPlatform& owner, std::unique_ptr<serial::SerialDevice> device)
            : m_owner(owner), m_device(std::move(device)) {}
        bool ApplyLineSettings(std::int32_t baud) override {
            return m_device->ApplyLineSettings(baud);
        }
        std::optional<std::size_t> BytesWaiting() override { return m_device->BytesWaiting(); }
        std::optional<std::size_t> Read(std::uint8_t* dst, std::size_t max) override {
            const std::optional<std::size_t> got = m_device->Read(dst, max);
            if (got && *got > 0) {
                m_owner.m_chunk_polls.push_back(m_owner.m_polls);
            }
            return got;
        }
        serial::WriteResult Write(const std::uint8_t* src, std::size_t count,
                                  std::chrono::milliseconds timeout) override {
            return m_device->Write(src, count, timeout);
        }
        void WaitForInput(std::chrono::microseconds timeout) override {
            m_device->WaitForInput(timeout);
        }

    private:
        CountingPlatform& m_owner;
        std::unique_ptr<serial::SerialDevice> m_device;
    };

    std::unique_ptr<serial::SerialPlatform> m_native = serial::MakeNativeSerialPlatform();
};

TEST(Win32PortTest, NamesBecomeDevicePathsAndTheScanRunsFromCom0ToCom99) {
    const auto platform = serial::MakeNativeSerialPlatform();
    EXPECT_EQ(platform->DevicePath("COM3"), "\\\\.\\COM3");
    EXPECT_EQ(platform->DevicePath("COM123"), "\\\\.\\COM123");  // typed, beyond the scan
    const std::vector<std::string> names = platform->PortCandidates();
    EXPECT_TRUE(names.size() == 100 && names.front() == "COM0" && names.back() == "COM99");
}

TEST(Win32PortTest, AFileOpensAsNoPortAndStaysUntouched) {
    char directory[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, directory), 0u);
    ASSERT_NE(GetTempFileNameA(directory, "lnk", 0, path), 0u);
    std::ofstream(path, std::ios::binary) << "keep";
    const auto platform = serial::MakeNativeSerialPlatform();
    RecordingLog log;
    serial::SerialLink link(*platform, log);

    EXPECT_FALSE(link.OpenPort(path, 9600));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_NE(platform->OpenExclusive(path), nullptr);  // the failed open let go of it
    std::string content;
    std::getline(std::ifstream(path, std::ios::binary), content);
    EXPECT_EQ(content, "keep");
    DeleteFileA(path);
}

TEST(Win32PortTest, AMissingPortNeitherOpensNorIsListed) {
    const std::string name = EnvText("LINK_TEST_MISSING_PORT");
    if (name.empty()) {
        GTEST_SKIP() << "LINK_TEST_MISSING_PORT names no absent port";
    }
    const auto platform = serial::MakeNativeSerialPlatform();
    RecordingLog log;
    serial::SerialLink link(*platform, log);
    EXPECT_FALSE(link.OpenPort(platform->DevicePath(name), 9600));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(std::ranges::count(serial::ScanPorts(*platform), name), 0);
}

// A module on LINK_TEST_PORT at LINK_TEST_MODULE_BAUD.
class Win32ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_name = EnvText("LINK_TEST_PORT");
        if (m_name.empty()) {
            GTEST_SKIP() << "LINK_TEST_PORT names no port with a module";
        }
        m_path = m_platform.DevicePath(m_name);
        m_baud = std::atoi(EnvText("LINK_TEST_MODULE_BAUD", "2400").c_str());
        ASSERT_GT(m_baud, 0);
    }

    CountingPlatform m_platform;
    RecordingLog m_log;
    serial::SerialLink m_link{m_platform, m_log};
    std::string m_name;
    std::string m_path;
    int m_baud = 0;
};

TEST_F(Win32ModuleTest, OpensOnlyAtSpeedsAboveZeroAndLetsGoOfThePortOnEveryClose) {
    for (const int speed : {0, -9600}) {
        EXPECT_FALSE(m_link.OpenPort(m_path, speed)) << speed;
        EXPECT_FALSE(m_link.IsOpen()) << speed;
    }
    EXPECT_EQ(std::ranges::count(serial::ScanPorts(m_platform), m_name), 1);
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    EXPECT_TRUE(m_link.OpenPort(m_path, m_baud));  // closes the port first
    m_link.ClosePort();
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(m_link.OpenPort(m_path, m_baud));
}

TEST_F(Win32ModuleTest, AReplyEndsAtTheChunkWithTheLineFeedAndSilenceAfter101Polls) {
    const int pieces = std::atoi(EnvText("LINK_TEST_REPLY_CHUNKS", "1").c_str());
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    m_link.SendBytes("hello, please set baudrate to: 0\n");
    m_platform.m_polls = 0;
    std::uint8_t buffer[512];
    std::memset(buffer, 0xAA, sizeof buffer);
    const std::size_t length = m_link.ReadReply(buffer, sizeof buffer, '\n');

    const std::vector<int>& chunks = m_platform.m_chunk_polls;
    if (pieces == 0) {
        EXPECT_EQ(length + chunks.size() + m_log.entries.size(), 0u);  // nothing read or logged
        EXPECT_EQ(m_platform.m_polls, 101);
        return;
    }
    const std::string reply = "yes, current baudrate is: " + std::to_string(m_baud) + "\n";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), length), reply);
    EXPECT_EQ(buffer[length], 0);
    ASSERT_GE(chunks.size(), static_cast<std::size_t>(pieces));
    EXPECT_EQ(m_platform.m_polls, chunks.back());
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{reply});
    EXPECT_TRUE(m_log.Lines().empty());  // logged as a reply
}

}  // namespace

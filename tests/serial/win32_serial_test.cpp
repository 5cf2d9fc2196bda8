// The Win32 backend on real COM ports. Cases that need a module read where it is from the
// environment, so a runner (tests/wine/run_wine_tests.sh, or a person on Windows) can
// attach one and pick the cases that fit it:
//   LINK_TEST_PORT          port name with a module attached, e.g. COM5
//   LINK_TEST_MODULE_BAUD   the speed the module listens at (default 2400)
//   LINK_TEST_MISSING_PORT  a COM port name that does not exist here, e.g. COM77
// Without them those cases are skipped.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_serial.h"
#include "serial/port_scan.h"
#include "serial/serial_link.h"

namespace {

using testing_support::RecordingLog;

constexpr char kAcceptanceMark[] = "yes, current baudrate is: ";

std::optional<std::string> EnvText(const char* name) {
    char value[256];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) {
        return std::nullopt;
    }
    return std::string(value, length);
}

// Wine's serial driver gives every open of a COM port its own handle, share mode 0 or not.
bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The native platform, counting polls and noting at which poll each chunk was read, so a
// read's end can be checked in polls as the link counts them.
class CountingPlatform final : public serial::SerialPlatform {
public:
    struct Chunk {
        int poll;
        std::size_t bytes;
    };

    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path) override {
        std::unique_ptr<serial::SerialDevice> device = m_native->OpenExclusive(path);
        if (!device) {
            return nullptr;
        }
        return std::make_unique<CountingDevice>(*this, std::move(device));
    }
    void SleepAboutOneMs() override {
        ++m_polls;
        m_native->SleepAboutOneMs();
    }
    std::string DevicePath(const std::string& name) const override {
        return m_native->DevicePath(name);
    }
    std::vector<std::string> PortCandidates() const override { return m_native->PortCandidates(); }

    serial::SerialPlatform& Native() { return *m_native; }
    int Polls() const { return m_polls; }
    const std::vector<Chunk>& Chunks() const { return m_chunks; }
    void Restart() {
        m_polls = 0;
        m_chunks.clear();
    }

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
                m_owner.m_chunks.push_back({m_owner.m_polls, *got});
            }
            return got;
        }
        std::size_t Write(const std::uint8_t* src, std::size_t count) override {
            return m_device->Write(src, count);
        }

    private:
        CountingPlatform& m_owner;
        std::unique_ptr<serial::SerialDevice> m_device;
    };

    std::unique_ptr<serial::SerialPlatform> m_native = serial::MakeNativeSerialPlatform();
    int m_polls = 0;
    std::vector<Chunk> m_chunks;
};

TEST(Win32PortNamesTest, NamesBecomeDevicePathsAndCandidatesRunFromCom0ToCom99) {
    const auto platform = serial::MakeNativeSerialPlatform();
    EXPECT_EQ(platform->DevicePath("COM3"), "\\\\.\\COM3");
    // A typed name is used unchanged, even one the scan would never try.
    EXPECT_EQ(platform->DevicePath("COM123"), "\\\\.\\COM123");

    const std::vector<std::string> names = platform->PortCandidates();
    ASSERT_EQ(names.size(), 100u);
    for (int n = 0; n < 100; ++n) {
        EXPECT_EQ(names[n], "COM" + std::to_string(n));
    }
}

TEST(Win32NoPortTest, AFileOpensButIsNoPortAndStaysUntouched) {
    char directory[MAX_PATH];
    char path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, directory), 0u);
    ASSERT_NE(GetTempFileNameA(directory, "lnk", 0, path), 0u);
    {
        std::ofstream out(path, std::ios::binary);
        out << "keep";
    }
    const auto platform = serial::MakeNativeSerialPlatform();
    RecordingLog log;
    serial::SerialLink link(*platform, log);

    EXPECT_FALSE(link.OpenPort(path, 9600));
    EXPECT_FALSE(link.IsOpen());
    // The failed open let go of the file: nothing holds it now.
    EXPECT_NE(platform->OpenExclusive(path), nullptr);

    std::ifstream in(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "keep");
    in.close();
    DeleteFileA(path);
}

class Win32MissingPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::optional<std::string> missing = EnvText("LINK_TEST_MISSING_PORT");
        if (!missing) {
            GTEST_SKIP() << "LINK_TEST_MISSING_PORT names no absent port";
        }
        m_name = *missing;
    }

    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeNativeSerialPlatform();
    RecordingLog m_log;
    serial::SerialLink m_link{*m_platform, m_log};
    std::string m_name;
};

TEST_F(Win32MissingPortTest, AMissingPortNeitherOpensNorIsListed) {
    EXPECT_FALSE(m_link.OpenPort(m_platform->DevicePath(m_name), 9600));
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(m_log.Entries().empty());
    const std::vector<std::string> found = serial::ScanPorts(*m_platform);
    EXPECT_EQ(std::count(found.begin(), found.end(), m_name), 0) << m_name;
}

// A module on LINK_TEST_PORT at LINK_TEST_MODULE_BAUD.
class Win32ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::optional<std::string> port = EnvText("LINK_TEST_PORT");
        if (!port) {
            GTEST_SKIP() << "LINK_TEST_PORT names no port with a module";
        }
        m_name = *port;
        m_path = m_platform.DevicePath(m_name);
        m_baud = std::atoi(EnvText("LINK_TEST_MODULE_BAUD").value_or("2400").c_str());
        ASSERT_GT(m_baud, 0);
    }

    // One hello that asks the module to stay, and its reply.
    std::size_t HelloAndRead() {
        m_link.SendBytes("hello, please set baudrate to: 0\n");
        m_platform.Restart();
        std::memset(m_buffer, 0, sizeof m_buffer);
        return m_link.ReadReply(m_buffer, sizeof m_buffer, '\n');
    }
    std::string Stored(std::size_t length) const {
        return std::string(reinterpret_cast<const char*>(m_buffer), length);
    }
    bool IsListed(const std::vector<std::string>& found) const {
        return std::find(found.begin(), found.end(), m_name) != found.end();
    }

    CountingPlatform m_platform;
    RecordingLog m_log;
    serial::SerialLink m_link{m_platform, m_log};
    std::string m_name;
    std::string m_path;
    int m_baud = 0;
    std::uint8_t m_buffer[512];
};

// Scenario: a module answering at its speed.
class Win32AnsweringModuleTest : public Win32ModuleTest {};

TEST_F(Win32AnsweringModuleTest, ATerminatedReplyEndsTheReadAtTheChunkThatCarriesTheLineFeed) {
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    const std::size_t length = HelloAndRead();

    const std::string reply = Stored(length);
    EXPECT_EQ(reply, std::string(kAcceptanceMark) + std::to_string(m_baud) + "\n");
    EXPECT_EQ(m_buffer[length], 0);
    ASSERT_FALSE(m_platform.Chunks().empty());
    EXPECT_EQ(m_platform.Polls(), m_platform.Chunks().back().poll);
    EXPECT_LT(m_platform.Polls(), 101);
    ASSERT_EQ(m_log.Entries().size(), 1u);
    EXPECT_TRUE(m_log.Entries()[0].is_reply);
    EXPECT_EQ(m_log.Entries()[0].text, reply);
}

TEST_F(Win32AnsweringModuleTest, OpeningTheOpenPortAgainClosesItFirst) {
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    EXPECT_GT(HelloAndRead(), 0u);
    m_link.ClosePort();
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(m_link.OpenPort(m_path, m_baud));
}

TEST_F(Win32AnsweringModuleTest, NoSpeedAtOrBelowZeroIsTaken) {
    EXPECT_FALSE(m_link.OpenPort(m_path, 0));
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_link.OpenPort(m_path, -9600));
    EXPECT_FALSE(m_link.IsOpen());
    // The refused opens released the port.
    EXPECT_TRUE(m_link.OpenPort(m_path, m_baud));
}

TEST_F(Win32AnsweringModuleTest, ScanListsTheFreePort) {
    EXPECT_TRUE(IsListed(serial::ScanPorts(m_platform.Native())));
    // The scan closed what it opened.
    EXPECT_TRUE(m_link.OpenPort(m_path, m_baud));
}

TEST_F(Win32AnsweringModuleTest, AHeldPortOpensNoSecondTimeAndDropsOutOfTheScan) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine does not enforce share mode 0 on serial ports";
    }
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    EXPECT_EQ(m_platform.Native().OpenExclusive(m_path), nullptr);
    EXPECT_FALSE(IsListed(serial::ScanPorts(m_platform.Native())));
    EXPECT_TRUE(m_link.IsOpen());
    m_link.ClosePort();
    EXPECT_TRUE(IsListed(serial::ScanPorts(m_platform.Native())));
}

// Scenario: a module that never answers.
class Win32SilentModuleTest : public Win32ModuleTest {};

TEST_F(Win32SilentModuleTest, SilenceEndsTheReadAfter101EmptyPollsWithNothingLogged) {
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    EXPECT_EQ(HelloAndRead(), 0u);
    EXPECT_EQ(m_platform.Polls(), 101);
    EXPECT_TRUE(m_platform.Chunks().empty());
    EXPECT_EQ(m_buffer[0], 0);
    EXPECT_TRUE(m_log.Entries().empty());
}

// Scenario: a module whose replies end in NUL, line feed.
class Win32NulReplyModuleTest : public Win32ModuleTest {};

TEST_F(Win32NulReplyModuleTest, ALineFeedBehindANulIsNotSeenSoTheReadEndsElevenPollsLater) {
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    const std::size_t length = HelloAndRead();

    const std::string text = std::string(kAcceptanceMark) + std::to_string(m_baud);
    EXPECT_EQ(Stored(length), text + std::string("\0\n", 2));
    ASSERT_FALSE(m_platform.Chunks().empty());
    EXPECT_EQ(m_platform.Polls(), m_platform.Chunks().back().poll + 11);
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{text});
}

// Scenario: a module that writes each reply in several chunks with pauses between.
class Win32SplitReplyModuleTest : public Win32ModuleTest {};

TEST_F(Win32SplitReplyModuleTest, AReplyInChunksIsReadWholeAndLoggedAsOneLine) {
    ASSERT_TRUE(m_link.OpenPort(m_path, m_baud));
    const std::size_t length = HelloAndRead();

    const std::string reply = std::string(kAcceptanceMark) + std::to_string(m_baud) + "\n";
    EXPECT_EQ(Stored(length), reply);
    EXPECT_GE(m_platform.Chunks().size(), 2u);
    ASSERT_FALSE(m_platform.Chunks().empty());
    EXPECT_EQ(m_platform.Polls(), m_platform.Chunks().back().poll);
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{reply});
}

}  // namespace

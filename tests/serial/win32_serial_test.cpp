// The Win32 backend on real COM ports, named in the environment (cases skip without them):
//   LINK_TEST_PORT          a port that exists, e.g. COM5
//   LINK_TEST_MISSING_PORT  a COM port name that does not exist here, e.g. COM77
// Replies, silence and frames over the backend are lcdctl's part of the Wine run.

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

// Wine's driver takes a speed of 0 or below and reports success; the backend refuses it.
TEST(Win32PortTest, OpensOnlyAtSpeedsAboveZeroAndLetsGoOfThePortOnEveryClose) {
    const std::string name = EnvText("LINK_TEST_PORT");
    if (name.empty()) {
        GTEST_SKIP() << "LINK_TEST_PORT names no port";
    }
    const auto platform = serial::MakeNativeSerialPlatform();
    RecordingLog log;
    serial::SerialLink link(*platform, log);
    const std::string path = platform->DevicePath(name);
    for (const int speed : {0, -9600}) {
        EXPECT_FALSE(link.OpenPort(path, speed) || link.IsOpen()) << speed;
    }
    EXPECT_EQ(std::ranges::count(serial::ScanPorts(*platform), name), 1);
    ASSERT_TRUE(link.OpenPort(path, 9600));
    EXPECT_TRUE(link.OpenPort(path, 9600));  // closes the port first
    link.ClosePort();
    EXPECT_TRUE(link.OpenPort(path, 9600));
}

}  // namespace

#include <gtest/gtest.h>

#include "fake_serial.h"
#include "serial/port_scan.h"

namespace {

using testing_support::ScriptedPlatform;

TEST(PortScanTest, ListsOpenablePortsInCandidateOrderAndLeavesHeldOnesOut) {
    ScriptedPlatform platform;
    platform.candidates = {"COM0", "COM1", "COM2", "COM3", "COM10"};
    platform.existing = {"/dev/COM1", "/dev/COM3", "/dev/COM10"};
    EXPECT_EQ(serial::ScanPorts(platform), (std::vector<std::string>{"COM1", "COM3", "COM10"}));

    platform.Hold("/dev/COM10");
    EXPECT_EQ(serial::ScanPorts(platform), (std::vector<std::string>{"COM1", "COM3"}));

    // The scan closes every port it opened: a second scan finds the same.
    EXPECT_EQ(serial::ScanPorts(platform), (std::vector<std::string>{"COM1", "COM3"}));
    platform.existing.clear();
    EXPECT_TRUE(serial::ScanPorts(platform).empty());
}

}  // namespace

// The scan through the native platform's names and paths, with devices that are not on
// this machine: the open is redirected to a pty wherever the scan asks for one of them.
#include <gtest/gtest.h>

#include <map>

#include "cli/ports.h"
#include "serial/port_scan.h"
#include "sim/module_sim.h"
#include "support/listed_ports.h"

namespace {

// The native platform's candidates and paths; only the plugged devices open.
class RedirectedPorts : public testing_support::ListedPortsPlatform {
public:
    RedirectedPorts() : ListedPortsPlatform(serial::MakeNativeSerialPlatform()->PortCandidates()) {}
    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path,
                                                        serial::OpenFailure* why) override {
        const auto redirected = m_devices.find(path);
        return redirected == m_devices.end()
                   ? nullptr
                   : ListedPortsPlatform::OpenExclusive(redirected->second, why);
    }
    void Plug(const std::string& path, const std::string& device) { m_devices[path] = device; }

private:
    std::map<std::string, std::string> m_devices;
};

TEST(PortScanTest, VendorDriverPortsAreListedAfterTheKernelsAndCountAsUsb) {
    sim::PtyModule ch343({}), ftdi({});
    RedirectedPorts platform;
    platform.Plug("/dev/ttyCH343USB0", ch343.SlavePath());
    platform.Plug("/dev/ttyUSB1", ftdi.SlavePath());
    EXPECT_EQ(serial::ScanPorts(platform), (std::vector<std::string>{"ttyUSB1", "ttyCH343USB0"}));
    EXPECT_TRUE(cli::IsUsbSerialName("ttyCH343USB0"));
    EXPECT_FALSE(cli::IsUsbSerialName("ttyS0"));
}

}  // namespace

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "serial/serial_platform.h"

namespace testing_support {

// The native serial calls, scanning a chosen list of devices instead of the machine's.
class ListedPortsPlatform : public serial::SerialPlatform {
public:
    explicit ListedPortsPlatform(std::vector<std::string> listed = {})
        : ports(std::move(listed)), m_native(serial::MakeNativeSerialPlatform()) {}
    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path,
                                                        serial::OpenFailure* why) override {
        return m_native->OpenExclusive(path, why);
    }
    void SleepAboutOneMs() override { m_native->SleepAboutOneMs(); }
    std::string DevicePath(const std::string& name) const override {
        return m_native->DevicePath(name);
    }
    std::vector<std::string> PortCandidates() const override { return ports; }
    bool PortIsFree(const std::string& name) override { return m_native->PortIsFree(name); }
    std::vector<std::string> ports;

private:
    std::unique_ptr<serial::SerialPlatform> m_native;
};

}  // namespace testing_support

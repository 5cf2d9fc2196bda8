#include "cli/ports.h"

#include "serial/port_scan.h"

namespace cli {

std::string DescribePort(const std::string& name, const PortDetails& details) {
    std::string line = name;
    const auto add = [&line](const std::string& value, const char* label) {
        line += '\t';
        if (value.empty()) {
            line += '-';
        } else {
            line.append(label).append(value);
        }
    };
    add(details.maker, "");
    add(details.product, "");
    add(details.serial, "serial ");
    add(details.by_id, "");
    return line;
}

PortChoice ChoosePort(serial::SerialPlatform& platform, const std::string& requested) {
    if (!requested.empty()) {
        return {requested, {}};
    }
    // Only USB ports are looked at: even a check may disturb what sits on another port.
    const std::vector<std::string> usb = serial::ScanPorts(platform, IsUsbSerialName);
    if (usb.size() == 1) {
        return {usb.front(), {}};
    }
    if (usb.empty()) {
        return {{}, "no USB serial port can be opened; name the port with --port"};
    }
    std::string names;
    for (const std::string& name : usb) {
        names += (names.empty() ? "" : ", ") + name;
    }
    return {{}, "several USB serial ports (" + names + "); name one with --port"};
}

}  // namespace cli

#include "serial/port_choice.h"

#include <vector>

#include "serial/port_scan.h"

namespace serial {

bool IsUsbSerialName(const std::string& name) {
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0 ||
           name.rfind("ttyCH343USB", 0) == 0;
}

PortChoice ChoosePort(SerialPlatform& platform, const std::string& requested) {
    if (!requested.empty()) {
        return {requested, {}};
    }
    // Only USB ports are looked at: even a check may disturb what sits on another port.
    const std::vector<std::string> usb = ScanPorts(platform, IsUsbSerialName);
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

}  // namespace serial

#include "serial/port_scan.h"

namespace serial {

std::vector<std::string> ScanPorts(SerialPlatform& platform) {
    std::vector<std::string> found;
    for (const std::string& name : platform.PortCandidates()) {
        if (platform.OpenExclusive(platform.DevicePath(name))) {
            found.push_back(name);
        }
    }
    return found;
}

}  // namespace serial

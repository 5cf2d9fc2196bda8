#include "serial/port_scan.h"

namespace serial {

std::vector<std::string> ScanPorts(SerialPlatform& platform,
                                   const std::function<bool(const std::string&)>& considered) {
    std::vector<std::string> found;
    for (const std::string& name : platform.PortCandidates()) {
        if ((!considered || considered(name)) && platform.PortIsFree(name)) {
            found.push_back(name);
        }
    }
    return found;
}

}  // namespace serial

#pragma once

#include <string>
#include <vector>

#include "serial/serial_platform.h"

namespace serial {

// The ports that can be opened right now, in the platform's candidate order. Each is
// opened and closed at once; nothing is configured, written or read. A port that anyone
// holds open, this program included, is left out.
std::vector<std::string> ScanPorts(SerialPlatform& platform);

}  // namespace serial

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "serial/serial_platform.h"

namespace serial {

// The ports that can be opened right now, in the platform's candidate order, of those that
// `considered` accepts (all, when it is empty); the others are not looked at. Nothing is
// configured, written or read. A port that anyone holds, this program included, is left
// out, as far as the platform can tell (see SerialPlatform::PortIsFree).
std::vector<std::string> ScanPorts(SerialPlatform& platform,
                                   const std::function<bool(const std::string&)>& considered = {});

}  // namespace serial

#pragma once

#include <string>

#include "serial/serial_platform.h"

namespace serial {

// A port that comes and goes with a USB adapter (ttyUSB*, ttyACM*, ttyCH343USB*); built-in
// ports may belong to other devices. COM names do not tell, so none counts on Windows.
bool IsUsbSerialName(const std::string& name);

struct PortChoice {
    std::string name;     // the port to use
    std::string problem;  // why there is none
};

// The port named, or else the only USB serial port that can be opened now: nothing is
// sent to a port the user did not mean, and no other port is even looked at.
PortChoice ChoosePort(SerialPlatform& platform, const std::string& requested);

}  // namespace serial

#pragma once

#include <filesystem>
#include <string>

#include "serial/serial_platform.h"

namespace cli {

// A port that comes and goes with a USB adapter (ttyUSB*, ttyACM*, ttyCH343USB*); built-in
// ports may belong to other devices. No port counts on platforms whose names do not tell.
bool IsUsbSerialName(const std::string& name);

// What the system knows of a port, where it knows it.
struct PortDetails {
    std::string maker;
    std::string product;
    std::string serial;
    std::string by_id;  // a name that stays the same whichever order adapters come in
};

// Read from the kernel's device tree under `sys` and the links under `dev`.
PortDetails DetailsOf(const std::string& name, const std::filesystem::path& sys = "/sys",
                      const std::filesystem::path& dev = "/dev");

// One line of `ports --long`: the name, then what is known, tab-separated.
std::string DescribePort(const std::string& name, const PortDetails& details);

struct PortChoice {
    std::string name;     // the port to use
    std::string problem;  // why there is none
};

// The port named, or else the only USB serial port that can be opened now: nothing is
// sent to a port the user did not mean, and no other port is even looked at.
PortChoice ChoosePort(serial::SerialPlatform& platform, const std::string& requested);

}  // namespace cli

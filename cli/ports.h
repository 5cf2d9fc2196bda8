#pragma once

#include <filesystem>
#include <string>

#include "serial/port_choice.h"

namespace cli {

using serial::ChoosePort;
using serial::IsUsbSerialName;
using serial::PortChoice;

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

}  // namespace cli

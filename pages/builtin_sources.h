#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string_view>

#include "pages/system_values.h"

namespace pages {

// The built-in groups of values by the names pages give them, each with the system's group
// that reads it (none: the board reads it itself) and how often it is read unless a file
// says otherwise.
struct BuiltinSource {
    std::string_view name;
    std::optional<SystemGroup> group;
    std::chrono::milliseconds interval;
};

inline constexpr std::array<BuiltinSource, 11> kBuiltinSources = {{
    {"time", std::nullopt, std::chrono::seconds(1)},
    {"uptime", SystemGroup::Uptime, std::chrono::seconds(2)},
    {"hostname", SystemGroup::Hostname, std::chrono::seconds(60)},
    {"ipv4", SystemGroup::Ipv4, std::chrono::seconds(60)},
    {"cpu", SystemGroup::Cpu, std::chrono::seconds(2)},
    {"load", SystemGroup::Load, std::chrono::seconds(2)},
    {"mem", SystemGroup::Memory, std::chrono::seconds(2)},
    {"net", SystemGroup::Network, std::chrono::seconds(2)},
    {"temp", SystemGroup::Temperature, std::chrono::seconds(2)},
    {"disk", std::nullopt, std::chrono::seconds(60)},
    {"hub", std::nullopt, std::chrono::seconds(2)},
}};

}  // namespace pages

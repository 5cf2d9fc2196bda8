#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <variant>

namespace pages {

// What a page shows for a name: unknown (shown as "?"), a number, a text or a moment.
using Moment = std::chrono::system_clock::time_point;
using Value = std::variant<std::monostate, double, std::string, Moment>;

// Values by name ("cpu.percent", "net.eth0.rx"); a name that is missing is unknown.
using ValueMap = std::map<std::string, Value, std::less<>>;

}  // namespace pages

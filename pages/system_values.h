#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/value.h"

namespace pages {

// The built-in values come in groups, each read at once and refreshed at its own interval.
enum class SystemGroup { Uptime, Hostname, Ipv4, Cpu, Load, Memory, Network, Temperature };

// The running system's values, read from files under a root ("/" for the real system, a
// made-up tree in tests). Rates and percentages are the difference since the group's
// previous reading, so the first reading gives none of them.
class SystemValues {
public:
    explicit SystemValues(std::filesystem::path root = "/");

    // Reads `group` at `now` into `values`, first removing the names the group gave before,
    // so that a value that went away shows as unknown. An error names what could not be read;
    // the values that could be read are still given.
    std::optional<std::string> Refresh(SystemGroup group, std::chrono::steady_clock::time_point now,
                                       ValueMap& values);

    // An interface's byte counters, as the system gives them.
    struct InterfaceCount {
        std::string name;  // unique among those given
        std::uint64_t rx = 0;
        std::uint64_t tx = 0;
        bool loopback = false;  // the host talking to itself: left out of the totals
    };

private:
    // A processor's busy share since the previous reading, from its times since boot.
    void GiveBusyShare(const std::string& name, std::uint64_t idle, std::uint64_t kernel,
                       std::uint64_t user, ValueMap& read,
                       std::map<std::string, std::uint64_t>& counts);
    // Each interface's rates since the previous reading, and the totals.
    void GiveRates(const std::vector<InterfaceCount>& interfaces,
                   std::chrono::steady_clock::time_point now, ValueMap& read);

    std::optional<std::string> ReadGroup(SystemGroup group,
                                         std::chrono::steady_clock::time_point now, ValueMap& read);
    std::optional<std::string> ReadCpu(ValueMap& read);
    std::optional<std::string> ReadNetwork(std::chrono::steady_clock::time_point now,
                                           ValueMap& read);
    // Counts are kept under "cpu:" and "net:"; a reading replaces all of its group's, so
    // interfaces that went away are forgotten.
    void ReplaceCounts(const std::string& prefix, std::map<std::string, std::uint64_t> counts);
    std::optional<std::uint64_t> PreviousCount(const std::string& key) const;

    std::filesystem::path m_root;
    std::map<SystemGroup, std::vector<std::string>> m_given;
    // the previous readings, for differences
    std::map<std::string, std::uint64_t> m_previous_counts;
    std::map<SystemGroup, std::chrono::steady_clock::time_point> m_previous_time;
};

// A label as value names have it: "Package id 0" is "package_id_0" (lowercase ASCII letters
// and digits, other characters' runs as one '_', at most 64), since names in a page are ASCII.
std::string ValueLabel(std::string_view text);
// "name", else "name_2", "name_3"... whichever is free in `taken` first.
std::string UniqueValueName(const std::string& name, const ValueMap& taken);

// Disk use of the file system that holds `path`: "PREFIX.total", ".used", ".free" in bytes
// and ".percent" used. An error names the path and the system's reason.
std::optional<std::string> ReadDiskUse(const std::filesystem::path& path, const std::string& prefix,
                                       ValueMap& values);

}  // namespace pages

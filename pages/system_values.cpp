#include "pages/system_values.h"

#include <tuple>

// What every system's values share: labels as value names have them, and the group's
// readings kept for the next one's differences.
namespace pages {

namespace {

// A label goes into a value's name, which a page author has to type.
constexpr std::size_t kLabelLimit = 64;

}  // namespace

std::string ValueLabel(std::string_view text) {
    std::string label;
    bool gap = false;
    for (const char c : text) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (!((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9'))) {
            gap = true;
            continue;
        }
        if (label.size() >= kLabelLimit) {
            break;
        }
        if (gap && !label.empty()) {
            label += '_';
        }
        gap = false;
        label += lower;
    }
    return label;
}

std::string UniqueValueName(const std::string& name, const ValueMap& taken) {
    if (!taken.contains(name)) {
        return name;
    }
    for (int suffix = 2;; ++suffix) {
        std::string candidate = name + "_" + std::to_string(suffix);
        if (!taken.contains(candidate)) {
            return candidate;
        }
    }
}

std::optional<std::string> SystemValues::Refresh(SystemGroup group,
                                                 std::chrono::steady_clock::time_point now,
                                                 ValueMap& values) {
    std::vector<std::string>& given = m_given[group];
    for (const std::string& name : given) {
        values.erase(name);
    }
    given.clear();
    ValueMap read;
    const std::optional<std::string> error = ReadGroup(group, now, read);
    for (auto& [name, value] : read) {
        given.push_back(name);
        values[name] = std::move(value);
    }
    return error;
}

void SystemValues::ReplaceCounts(const std::string& prefix,
                                 std::map<std::string, std::uint64_t> counts) {
    std::erase_if(m_previous_counts,
                  [&](const auto& entry) { return entry.first.starts_with(prefix); });
    m_previous_counts.merge(counts);
}

std::optional<std::uint64_t> SystemValues::PreviousCount(const std::string& key) const {
    const auto found = m_previous_counts.find(key);
    return found == m_previous_counts.end() ? std::nullopt : std::optional(found->second);
}

void SystemValues::GiveRates(const std::vector<InterfaceCount>& interfaces,
                             std::chrono::steady_clock::time_point now, ValueMap& read) {
    const auto before = m_previous_time.find(SystemGroup::Network);
    const double seconds = before == m_previous_time.end()
                               ? 0.0
                               : std::chrono::duration<double>(now - before->second).count();
    std::map<std::string, std::uint64_t> counts;
    // the totals are known once some interface other than the loopback gave a rate
    std::optional<double> rx_sum;
    std::optional<double> tx_sum;
    for (const InterfaceCount& interface : interfaces) {
        const std::string prefix = "net." + interface.name;
        const std::tuple<const char*, std::uint64_t, std::optional<double>&> directions[] = {
            {".rx", interface.rx, rx_sum}, {".tx", interface.tx, tx_sum}};
        for (const auto& [direction, count, sum] : directions) {
            const auto previous = PreviousCount("net:" + prefix + direction);
            // a counter that went back was reset: no rate until the next reading
            if (seconds > 0 && previous && count >= *previous) {
                const double rate = static_cast<double>(count - *previous) / seconds;
                read[prefix + direction] = rate;
                if (!interface.loopback) {
                    sum = sum.value_or(0.0) + rate;
                }
            }
            counts["net:" + prefix + direction] = count;
        }
    }
    if (rx_sum) {
        read["net.rx"] = *rx_sum;
    }
    if (tx_sum) {
        read["net.tx"] = *tx_sum;
    }
    ReplaceCounts("net:", std::move(counts));
    m_previous_time[SystemGroup::Network] = now;
}

SystemValues::SystemValues(std::filesystem::path root) : m_root(std::move(root)) {}

}  // namespace pages

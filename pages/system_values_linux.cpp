#include "pages/system_values.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

namespace pages {

namespace {

namespace fs = std::filesystem;

// Far more than any file read here holds; a made-up or broken file cannot make us read more.
constexpr std::size_t kFileLimit = 1 << 20;

std::string ReasonOf(int error) {
    return std::generic_category().message(error);
}

// Closes the descriptor however the reading ends.
class OpenFile {
public:
    explicit OpenFile(const fs::path& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
    ~OpenFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Reads at most kFileLimit bytes. /proc and /sys files claim a size of 0, so the size is not
// trusted; only regular files are read, since a pipe or a device could keep us waiting.
std::optional<std::string> ReadBounded(const fs::path& path, std::string& reason) {
    const OpenFile file(path);
    struct stat info {};
    if (file.fd() < 0 || ::fstat(file.fd(), &info) != 0) {
        reason = ReasonOf(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (text.size() < kFileLimit) {
        const std::size_t wanted = std::min(sizeof buffer, kFileLimit - text.size());
        const ssize_t got = ::read(file.fd(), buffer, wanted);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            reason = ReasonOf(errno);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    std::size_t start = text.find_first_not_of(separators);
    while (start != std::string_view::npos) {
        const std::size_t end = text.find_first_of(separators, start);
        parts.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(separators, end);
    }
    return parts;
}

// Every line, blank ones too, since where a line is can matter; no empty line after the last
// newline.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

std::vector<std::string_view> Fields(std::string_view line) {
    return Split(line, " \t\r");
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return {};
    }
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

std::string_view FirstLine(std::string_view text) {
    return Trimmed(text.substr(0, text.find('\n')));
}

// The whole text as a number of type T, or nothing: no sign games, no trailing bytes, and
// never an infinity or NaN.
template <typename T>
std::optional<T> Parsed(std::string_view text) {
    T number{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(number)) {
            return std::nullopt;
        }
    }
    return number;
}

// The first error met while reading a group, with paths shown as on the real system.
class TreeReader {
public:
    explicit TreeReader(const fs::path& root) : m_root(root) {}

    std::optional<std::string> Read(const std::string& relative) {
        std::string reason;
        auto text = ReadBounded(m_root / relative, reason);
        if (!text) {
            Fail("cannot read " + Shown(relative) + ": " + reason);
        }
        return text;
    }
    void Fail(std::string message) {
        if (!m_error) {
            m_error = std::move(message);
        }
    }
    void Unparsable(const std::string& relative) { Fail("cannot parse " + Shown(relative)); }
    static std::string Shown(const std::string& relative) { return "/" + relative; }

    const fs::path& root() const { return m_root; }
    const std::optional<std::string>& error() const { return m_error; }

private:
    const fs::path& m_root;
    std::optional<std::string> m_error;
};

// The entries of a folder named PREFIX<number>SUFFIX, by number, so that "temp10" comes after
// "temp2" and the order (which decides duplicate names) stays the same between readings.
std::vector<std::pair<std::uint64_t, std::string>> NumberedEntries(const fs::path& folder,
                                                                   std::string_view prefix,
                                                                   std::string_view suffix) {
    std::vector<std::pair<std::uint64_t, std::string>> entries;
    std::error_code code;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
            !name.ends_with(suffix)) {
            continue;
        }
        const std::string_view digits = std::string_view(name).substr(
            prefix.size(), name.size() - prefix.size() - suffix.size());
        if (const auto number = Parsed<std::uint64_t>(digits)) {
            entries.emplace_back(*number, name);
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::optional<std::string> ReadUptime(TreeReader& tree, ValueMap& read) {
    const std::string file = "proc/uptime";
    if (const auto text = tree.Read(file)) {
        const auto fields = Fields(*text);
        const auto seconds = fields.empty() ? std::nullopt : Parsed<double>(fields[0]);
        if (seconds) {
            read["uptime"] = *seconds;
        } else {
            tree.Unparsable(file);
        }
    }
    return tree.error();
}

std::optional<std::string> ReadHostname(TreeReader& tree, ValueMap& read) {
    const std::string file = "proc/sys/kernel/hostname";
    if (const auto text = tree.Read(file)) {
        const std::string_view name = FirstLine(*text);
        if (name.empty()) {
            tree.Unparsable(file);
        } else {
            read["hostname"] = std::string(name);
        }
    }
    return tree.error();
}

bool IsOwnAddress(std::string_view text) {
    in_addr address{};
    const std::string candidate(text);
    return inet_pton(AF_INET, candidate.c_str(), &address) == 1 && !candidate.starts_with("127.");
}

// In fib_trie an address of this host is a leaf "|-- A.B.C.D" with "/32 host LOCAL" among
// the lines under it, before the next leaf or branch.
std::optional<std::string> ReadIpv4(TreeReader& tree, ValueMap& read) {
    const std::string file = "proc/net/fib_trie";
    const auto text = tree.Read(file);
    if (!text) {
        return tree.error();
    }
    std::string_view leaf;
    for (const std::string_view line : Lines(*text)) {
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.starts_with("|-- ")) {
            leaf = Trimmed(trimmed.substr(4));
        } else if (trimmed.starts_with("+-- ")) {
            leaf = {};
        } else if (!leaf.empty() && trimmed.find("/32 host LOCAL") != std::string_view::npos &&
                   IsOwnAddress(leaf)) {
            read["ipv4"] = std::string(leaf);
            return std::nullopt;
        }
    }
    tree.Fail("no IPv4 address in " + TreeReader::Shown(file));
    return tree.error();
}

std::optional<std::string> ReadLoad(TreeReader& tree, ValueMap& read) {
    const std::string file = "proc/loadavg";
    if (const auto text = tree.Read(file)) {
        static const char* const kNames[] = {"load.1", "load.5", "load.15"};
        const auto fields = Fields(*text);
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            const auto load = i < fields.size() ? Parsed<double>(fields[i]) : std::nullopt;
            if (!load) {
                tree.Unparsable(file);
                break;
            }
            read[kNames[i]] = *load;
        }
    }
    return tree.error();
}

// meminfo's lines "Name: 123 kB" as bytes; lines that are not so are left out.
std::map<std::string_view, double> MeminfoBytes(std::string_view text) {
    std::map<std::string_view, double> bytes;
    for (const std::string_view line : Lines(text)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const auto fields = Fields(line.substr(colon + 1));
        const auto number = fields.empty() ? std::nullopt : Parsed<std::uint64_t>(fields[0]);
        if (number && fields.size() == 2 && fields[1] == "kB") {
            bytes[line.substr(0, colon)] = static_cast<double>(*number) * 1024.0;
        }
    }
    return bytes;
}

std::optional<double> Find(const std::map<std::string_view, double>& bytes, std::string_view key) {
    const auto found = bytes.find(key);
    return found == bytes.end() ? std::nullopt : std::optional(found->second);
}

std::optional<std::string> ReadMemory(TreeReader& tree, ValueMap& read) {
    const std::string file = "proc/meminfo";
    const auto text = tree.Read(file);
    if (!text) {
        return tree.error();
    }
    const auto bytes = MeminfoBytes(*text);
    const auto total = Find(bytes, "MemTotal");
    const auto available = Find(bytes, "MemAvailable");
    if (total && available && *total > 0 && *available <= *total) {
        read["mem.total"] = *total;
        read["mem.available"] = *available;
        read["mem.used"] = *total - *available;
        read["mem.percent"] = (*total - *available) / *total * 100.0;
    } else {
        tree.Unparsable(file);
    }
    const auto swap_total = Find(bytes, "SwapTotal");
    const auto swap_free = Find(bytes, "SwapFree");
    if (swap_total && swap_free && *swap_free <= *swap_total) {
        const double used = *swap_total - *swap_free;
        read["swap.total"] = *swap_total;
        read["swap.used"] = used;
        read["swap.percent"] = *swap_total > 0 ? used / *swap_total * 100.0 : 0.0;
    } else {
        tree.Unparsable(file);
    }
    return tree.error();
}

struct CpuTimes {
    std::uint64_t busy = 0;
    std::uint64_t total = 0;
};

// A /proc/stat "cpu" line's jiffies: user nice system idle iowait irq softirq steal. Guest
// time is already counted in user and nice, so it is not added again.
std::optional<CpuTimes> ParseCpuTimes(const std::vector<std::string_view>& fields) {
    constexpr std::size_t kCounted = 8;
    if (fields.size() < 5) {
        return std::nullopt;
    }
    std::uint64_t total = 0;
    std::uint64_t idle = 0;
    for (std::size_t i = 1; i < fields.size() && i <= kCounted; ++i) {
        const auto jiffies = Parsed<std::uint64_t>(fields[i]);
        if (!jiffies || *jiffies > std::numeric_limits<std::uint64_t>::max() - total) {
            return std::nullopt;
        }
        total += *jiffies;
        if (i == 4 || i == 5) {
            idle += *jiffies;  // idle and iowait
        }
    }
    return CpuTimes{total - idle, total};
}

// "cpu" or "cpuN": the line's name, else empty.
std::string_view CpuName(std::string_view first_field) {
    if (first_field == "cpu" ||
        (first_field.starts_with("cpu") && Parsed<std::uint64_t>(first_field.substr(3)))) {
        return first_field;
    }
    return {};
}

std::optional<double> BusyPercent(const CpuTimes& now, const CpuTimes& before) {
    if (now.total <= before.total) {
        return std::nullopt;  // no time passed, or the counters restarted
    }
    const double busy = now.busy > before.busy ? static_cast<double>(now.busy - before.busy) : 0;
    return std::min(100.0, busy / static_cast<double>(now.total - before.total) * 100.0);
}

struct InterfaceBytes {
    std::string name;
    std::uint64_t rx = 0;
    std::uint64_t tx = 0;
};

// /proc/net/dev after its two heading lines: "name: rx_bytes ... (8 fields) tx_bytes ...".
std::optional<InterfaceBytes> ParseInterface(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view name = Trimmed(line.substr(0, colon));
    const auto fields = Fields(line.substr(colon + 1));
    if (name.empty() || fields.size() < 9) {
        return std::nullopt;
    }
    const auto rx = Parsed<std::uint64_t>(fields[0]);
    const auto tx = Parsed<std::uint64_t>(fields[8]);
    if (!rx || !tx) {
        return std::nullopt;
    }
    return InterfaceBytes{std::string(name), *rx, *tx};
}

struct Sensor {
    std::string label;
    std::string input;  // relative to the root
};

std::string LabelOrEmpty(TreeReader& tree, const std::string& relative) {
    std::string reason;
    const auto text = ReadBounded(tree.root() / relative, reason);
    return text ? ValueLabel(FirstLine(*text)) : std::string();
}

// hwmon's tempN_input, named by tempN_label, else by the driver's name and N ("coretemp_1").
void AddHwmonSensors(TreeReader& tree, std::vector<Sensor>& sensors) {
    const std::string base = "sys/class/hwmon";
    for (const auto& [_, hwmon] : NumberedEntries(tree.root() / base, "hwmon", "")) {
        const std::string folder = base + "/" + hwmon;
        std::string driver = LabelOrEmpty(tree, folder + "/name");
        if (driver.empty()) {
            driver = hwmon;
        }
        for (const auto& [index, input] : NumberedEntries(tree.root() / folder, "temp", "_input")) {
            std::string label =
                LabelOrEmpty(tree, folder + "/temp" + std::to_string(index) + "_label");
            if (label.empty()) {
                label = driver + "_" + std::to_string(index);
            }
            sensors.push_back(Sensor{label, folder + "/" + input});
        }
    }
}

// A thermal zone's temp, named by its type ("x86_pkg_temp", "cpu-thermal").
void AddThermalZones(TreeReader& tree, std::vector<Sensor>& sensors) {
    const std::string base = "sys/class/thermal";
    for (const auto& [_, zone] : NumberedEntries(tree.root() / base, "thermal_zone", "")) {
        const std::string folder = base + "/" + zone;
        std::string label = LabelOrEmpty(tree, folder + "/type");
        sensors.push_back(Sensor{label.empty() ? ValueLabel(zone) : label, folder + "/temp"});
    }
}

std::optional<std::string> ReadTemperatures(TreeReader& tree, ValueMap& read) {
    std::vector<Sensor> sensors;
    AddHwmonSensors(tree, sensors);
    AddThermalZones(tree, sensors);
    if (sensors.empty()) {
        tree.Fail("no temperature sensor in /sys/class/hwmon or /sys/class/thermal");
    }
    for (const Sensor& sensor : sensors) {
        const auto text = tree.Read(sensor.input);
        if (!text) {
            continue;
        }
        const auto millidegrees = Parsed<std::int64_t>(FirstLine(*text));
        if (!millidegrees) {
            tree.Unparsable(sensor.input);
            continue;
        }
        read[UniqueValueName("temp." + sensor.label, read)] =
            static_cast<double>(*millidegrees) / 1000.0;
    }
    return tree.error();
}

}  // namespace

std::optional<std::string> SystemValues::ReadGroup(SystemGroup group,
                                                   std::chrono::steady_clock::time_point now,
                                                   ValueMap& read) {
    TreeReader tree(m_root);
    switch (group) {
        case SystemGroup::Uptime:
            return ReadUptime(tree, read);
        case SystemGroup::Hostname:
            return ReadHostname(tree, read);
        case SystemGroup::Ipv4:
            return ReadIpv4(tree, read);
        case SystemGroup::Cpu:
            return ReadCpu(read);
        case SystemGroup::Load:
            return ReadLoad(tree, read);
        case SystemGroup::Memory:
            return ReadMemory(tree, read);
        case SystemGroup::Network:
            return ReadNetwork(now, read);
        case SystemGroup::Temperature:
            return ReadTemperatures(tree, read);
    }
    return std::nullopt;
}

std::optional<std::string> SystemValues::ReadCpu(ValueMap& read) {
    TreeReader tree(m_root);
    const std::string file = "proc/stat";
    const auto text = tree.Read(file);
    if (!text) {
        return tree.error();
    }
    std::map<std::string, std::uint64_t> counts;
    int cores = 0;
    bool overall = false;
    for (const std::string_view line : Lines(*text)) {
        const auto fields = Fields(line);
        const std::string name(fields.empty() ? std::string_view() : CpuName(fields[0]));
        if (name.empty()) {
            continue;
        }
        const auto times = ParseCpuTimes(fields);
        if (!times) {
            tree.Unparsable(file);
            continue;
        }
        if (name == "cpu") {
            overall = true;
        } else {
            ++cores;
        }
        const auto busy_before = PreviousCount("cpu:" + name + ".busy");
        const auto total_before = PreviousCount("cpu:" + name + ".total");
        if (busy_before && total_before) {
            if (const auto percent = BusyPercent(*times, {*busy_before, *total_before})) {
                read[name + ".percent"] = *percent;
            }
        }
        counts["cpu:" + name + ".busy"] = times->busy;
        counts["cpu:" + name + ".total"] = times->total;
    }
    if (!overall) {
        tree.Unparsable(file);
    }
    read["cpu.cores"] = static_cast<double>(cores);
    ReplaceCounts("cpu:", std::move(counts));
    return tree.error();
}

std::optional<std::string> SystemValues::ReadNetwork(std::chrono::steady_clock::time_point now,
                                                     ValueMap& read) {
    TreeReader tree(m_root);
    const std::string file = "proc/net/dev";
    const auto text = tree.Read(file);
    if (!text) {
        return tree.error();
    }
    std::vector<InterfaceCount> interfaces;
    const auto lines = Lines(*text);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const auto interface = ParseInterface(lines[i]);
        if (!interface) {
            tree.Unparsable(file);
            continue;
        }
        interfaces.push_back(
            {interface->name, interface->rx, interface->tx, interface->name == "lo"});
    }
    GiveRates(interfaces, now, read);
    return tree.error();
}

std::optional<std::string> ReadDiskUse(const std::filesystem::path& path, const std::string& prefix,
                                       ValueMap& values) {
    static const char* const kSuffixes[] = {".total", ".used", ".free", ".percent"};
    for (const char* suffix : kSuffixes) {
        values.erase(prefix + suffix);
    }
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        return "cannot read the disk use of " + path.string() + ": " + ReasonOf(errno);
    }
    const double block = static_cast<double>(info.f_frsize);
    const double total = static_cast<double>(info.f_blocks) * block;
    const double free = static_cast<double>(info.f_bfree) * block;
    const double available = static_cast<double>(info.f_bavail) * block;
    const double used = std::max(0.0, total - free);
    // as df: the share of what users may fill, so the reserved blocks do not count as room
    const double percent = used + available > 0 ? used / (used + available) * 100.0 : 0.0;
    values[prefix + ".total"] = total;
    values[prefix + ".used"] = used;
    values[prefix + ".free"] = available;
    values[prefix + ".percent"] = percent;
    return std::nullopt;
}

}  // namespace pages

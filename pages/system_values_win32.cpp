// The running system's values as Windows gives them. The root is for Linux's made-up trees
// and means nothing here.
#include "pages/system_values.h"

// Winsock before the rest, and the IP helper after both.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#include <winternl.h>

#include <iphlpapi.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "system/system_message.h"

namespace pages {

namespace {

// Page files are megabytes at the least; less than this between the commit limit and physical
// memory is rounding (Wine's), not a page file.
constexpr double kLeastPageFile = 1024.0 * 1024.0;

std::string Utf8Of(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::string LastError() {
    return sys::SystemMessage(GetLastError());
}

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<double> BusyPercent(std::uint64_t busy, std::uint64_t total,
                                  std::uint64_t busy_before, std::uint64_t total_before) {
    if (total <= total_before) {
        return std::nullopt;  // no time passed
    }
    const double busy_ticks = busy > busy_before ? static_cast<double>(busy - busy_before) : 0;
    return std::min(100.0, busy_ticks / static_cast<double>(total - total_before) * 100.0);
}

std::optional<std::string> ReadUptime(ValueMap& read) {
    read["uptime"] = static_cast<double>(GetTickCount64()) / 1000.0;
    return std::nullopt;
}

std::optional<std::string> ReadHostname(ValueMap& read) {
    DWORD size = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
    std::wstring name(size, L'\0');
    if (size == 0 || !GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size)) {
        return "cannot read the host name: " + LastError();
    }
    name.resize(size);
    read["hostname"] = Utf8Of(name);
    return std::nullopt;
}

// The adapters with their IPv4 addresses, grown until the list fits.
std::optional<std::vector<std::uint8_t>> AdapterList(std::string& error) {
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<std::uint8_t> buffer(size);
        const ULONG result =
            GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        if (result == ERROR_SUCCESS) {
            return buffer;
        }
        if (result == ERROR_NO_DATA) {
            return std::vector<std::uint8_t>();
        }
        if (result != ERROR_BUFFER_OVERFLOW) {
            error = sys::SystemMessage(result);
            return std::nullopt;
        }
    }
    error = "the list keeps growing";
    return std::nullopt;
}

std::optional<std::string> FirstOwnAddress(const IP_ADAPTER_ADDRESSES& adapter) {
    for (auto* unicast = adapter.FirstUnicastAddress; unicast; unicast = unicast->Next) {
        const sockaddr* address = unicast->Address.lpSockaddr;
        if (address == nullptr || address->sa_family != AF_INET) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) &&
            !std::string_view(text).starts_with("127.")) {
            return std::string(text);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReadIpv4(ValueMap& read) {
    std::string error;
    const auto buffer = AdapterList(error);
    if (!buffer) {
        return "cannot list the network adapters: " + error;
    }
    const auto* adapter =
        buffer->empty() ? nullptr : reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer->data());
    for (; adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        if (const auto address = FirstOwnAddress(*adapter)) {
            read["ipv4"] = *address;
            return std::nullopt;
        }
    }
    return "no IPv4 address on a network adapter that is up";
}

// Windows names no swap: its commit limit is physical memory plus the page files, so the page
// files are that limit less physical memory, and their use the commit charge that physical
// memory in use does not hold.
void ReadPageFiles(const MEMORYSTATUSEX& status, double physical_used, ValueMap& read) {
    const double physical = static_cast<double>(status.ullTotalPhys);
    const double commit_limit = static_cast<double>(status.ullTotalPageFile);
    const double committed = commit_limit - static_cast<double>(status.ullAvailPageFile);
    const double beyond = commit_limit - physical;
    const double total = beyond >= kLeastPageFile ? beyond : 0.0;
    const double used = std::clamp(committed - physical_used, 0.0, total);
    read["swap.total"] = total;
    read["swap.used"] = used;
    read["swap.percent"] = total > 0 ? used / total * 100.0 : 0.0;
}

// Physical memory as the system counts it available, and the page files.
std::optional<std::string> ReadMemory(ValueMap& read) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalPhys == 0) {
        return "cannot read the memory's state: " + LastError();
    }
    const double total = static_cast<double>(status.ullTotalPhys);
    const double available =
        static_cast<double>(std::min(status.ullAvailPhys, status.ullTotalPhys));
    read["mem.total"] = total;
    read["mem.available"] = available;
    read["mem.used"] = total - available;
    read["mem.percent"] = (total - available) / total * 100.0;
    ReadPageFiles(status, total - available, read);
    return std::nullopt;
}

struct InterfaceBytes {
    std::string name;
    std::uint64_t rx = 0;
    std::uint64_t tx = 0;
    bool loopback = false;
};

// Interfaces that are up, without the filter drivers' layers, which count the same bytes
// again; each named by its alias ("Ethernet 2" -> "ethernet_2"), or "ifN" by its index when
// the alias has no ASCII letter or digit.
std::optional<std::vector<InterfaceBytes>> Interfaces(std::string& error) {
    MIB_IF_TABLE2* table = nullptr;
    const DWORD result = GetIfTable2(&table);
    if (result != NO_ERROR) {
        error = sys::SystemMessage(result);
        return std::nullopt;
    }
    const std::unique_ptr<MIB_IF_TABLE2, decltype(&FreeMibTable)> owned(table, FreeMibTable);
    std::vector<InterfaceBytes> interfaces;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IF_ROW2& row = table->Table[i];
        if (row.InterfaceAndOperStatusFlags.FilterInterface || row.OperStatus != IfOperStatusUp) {
            continue;
        }
        std::string name = ValueLabel(Utf8Of(row.Alias));
        if (name.empty()) {
            name = "if" + std::to_string(row.InterfaceIndex);
        }
        interfaces.push_back(
            {std::move(name), row.InOctets, row.OutOctets, row.Type == IF_TYPE_SOFTWARE_LOOPBACK});
    }
    return interfaces;
}

// GetDiskFreeSpaceExW takes a folder; a file is asked about through its own.
std::filesystem::path FolderOf(const std::filesystem::path& path) {
    std::error_code error;
    const bool file = std::filesystem::exists(path, error) &&
                      !std::filesystem::is_directory(path, error) && path.has_parent_path();
    return file ? path.parent_path() : path;
}

}  // namespace

std::optional<std::string> SystemValues::ReadGroup(SystemGroup group,
                                                   std::chrono::steady_clock::time_point now,
                                                   ValueMap& read) {
    switch (group) {
        case SystemGroup::Uptime:
            return ReadUptime(read);
        case SystemGroup::Hostname:
            return ReadHostname(read);
        case SystemGroup::Ipv4:
            return ReadIpv4(read);
        case SystemGroup::Cpu:
            return ReadCpu(read);
        case SystemGroup::Load:
            return "no load averages: Windows keeps none";
        case SystemGroup::Memory:
            return ReadMemory(read);
        case SystemGroup::Network:
            return ReadNetwork(now, read);
        case SystemGroup::Temperature:
            return "no temperature sensor: Windows gives none without a driver; use exec or set";
    }
    return std::nullopt;
}

namespace {

// Each processor's idle, kernel and user time since boot, through ntdll's own call (the
// only one that tells them apart); empty when it cannot be had.
std::vector<SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION> ProcessorTimes() {
    using Query = LONG(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll != nullptr ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                                              GetProcAddress(ntdll, "NtQuerySystemInformation")))
                                        : nullptr;
    std::vector<SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION> times(
        std::max<DWORD>(1, GetActiveProcessorCount(0)));
    ULONG got = 0;
    if (query == nullptr || query(SystemProcessorPerformanceInformation, times.data(),
                                  static_cast<ULONG>(times.size() * sizeof(times[0])), &got) < 0) {
        return {};
    }
    times.resize(got / sizeof(times[0]));
    return times;
}

}  // namespace

// The busy share of the time since the previous reading; the kernel's time includes its
// idle time. "cpu" is the whole machine, "cpuN" each processor of the first group.
void SystemValues::GiveBusyShare(const std::string& name, std::uint64_t idle, std::uint64_t kernel,
                                 std::uint64_t user, ValueMap& read,
                                 std::map<std::string, std::uint64_t>& counts) {
    const std::uint64_t total = kernel + user;
    const std::uint64_t busy = total - std::min(total, idle);
    const auto busy_before = PreviousCount("cpu:" + name + ".busy");
    const auto total_before = PreviousCount("cpu:" + name + ".total");
    if (busy_before && total_before) {
        if (const auto percent = BusyPercent(busy, total, *busy_before, *total_before)) {
            read[name + ".percent"] = *percent;
        }
    }
    counts["cpu:" + name + ".busy"] = busy;
    counts["cpu:" + name + ".total"] = total;
}

std::optional<std::string> SystemValues::ReadCpu(ValueMap& read) {
    read["cpu.cores"] = static_cast<double>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
    FILETIME idle{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetSystemTimes(&idle, &kernel, &user)) {
        return "cannot read the processors' times: " + LastError();
    }
    std::map<std::string, std::uint64_t> counts;
    GiveBusyShare("cpu", Ticks(idle), Ticks(kernel), Ticks(user), read, counts);
    const auto cores = ProcessorTimes();
    for (std::size_t i = 0; i < cores.size(); ++i) {
        const auto ticks = [](const LARGE_INTEGER& time) {
            return static_cast<std::uint64_t>(std::max<LONGLONG>(0, time.QuadPart));
        };
        GiveBusyShare("cpu" + std::to_string(i), ticks(cores[i].IdleTime),
                      ticks(cores[i].KernelTime), ticks(cores[i].UserTime), read, counts);
    }
    ReplaceCounts("cpu:", std::move(counts));
    return std::nullopt;
}

std::optional<std::string> SystemValues::ReadNetwork(std::chrono::steady_clock::time_point now,
                                                     ValueMap& read) {
    std::string error;
    const auto interfaces = Interfaces(error);
    if (!interfaces) {
        return "cannot read the network interfaces: " + error;
    }
    std::vector<InterfaceCount> counts;
    ValueMap named;  // the names taken so far, for aliases that sanitise alike
    for (const InterfaceBytes& row : *interfaces) {
        const std::string name = UniqueValueName("net." + row.name, named).substr(4);
        named["net." + name] = std::monostate();
        counts.push_back({name, row.rx, row.tx, row.loopback});
    }
    GiveRates(counts, now, read);
    return std::nullopt;
}

std::optional<std::string> ReadDiskUse(const std::filesystem::path& path, const std::string& prefix,
                                       ValueMap& values) {
    static const char* const kSuffixes[] = {".total", ".used", ".free", ".percent"};
    for (const char* suffix : kSuffixes) {
        values.erase(prefix + suffix);
    }
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER free{};
    if (!GetDiskFreeSpaceExW(FolderOf(path).c_str(), &available, &total, &free)) {
        const std::string reason = LastError();
        const std::u8string shown = path.u8string();
        return "cannot read the disk use of " + std::string(shown.begin(), shown.end()) + ": " +
               reason;
    }
    const double total_bytes = static_cast<double>(total.QuadPart);
    const double used = std::max(0.0, total_bytes - static_cast<double>(free.QuadPart));
    const double room = static_cast<double>(available.QuadPart);
    // as on Linux: the share of what this user may fill, so that quotas count as full
    values[prefix + ".total"] = total_bytes;
    values[prefix + ".used"] = used;
    values[prefix + ".free"] = room;
    values[prefix + ".percent"] = used + room > 0 ? used / (used + room) * 100.0 : 0.0;
    return std::nullopt;
}

}  // namespace pages

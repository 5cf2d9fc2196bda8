#include "serial/port_finder_linux.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace serial {

namespace fs = std::filesystem;

namespace {

// ttyCH343USB: the CH343 maker's own driver, in place of the kernel's ttyACM/ttyUSB.
constexpr const char* kFamilies[] = {"ttyS", "ttyAMA", "ttyACM", "ttyUSB", "ttyCH343USB"};
constexpr int kHighestPortNumber = 99;

// The virtual consoles take minors 0 to 63 of the tty major, the ttyS ports the rest.
constexpr unsigned kTtyMajor = 4;
constexpr unsigned kVirtualConsoles = 64;
// /dev/tty is minor 0 of this major, /dev/console minor 1.
constexpr unsigned kTtyAuxMajor = 5;
constexpr unsigned kCurrentTtyMinor = 0;
constexpr unsigned kConsoleMinor = 1;

constexpr std::size_t kLocksLimit = 1 << 20;  // some ten thousand locks
constexpr std::size_t kShortFileLimit = 4096;

// At most `limit` bytes of a regular file; nullopt for anything else. Files under /proc and
// /sys give their size as 0 or a page, so the limit is what bounds the read.
std::optional<std::string> ReadSmallFile(const fs::path& file, std::size_t limit) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// The decimal number that `text` starts with, after any blanks.
std::optional<long long> LeadingNumber(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    long long value = 0;
    if (std::from_chars(text.data() + start, text.data() + text.size(), value).ec != std::errc{}) {
        return std::nullopt;
    }
    return value;
}

bool IsProcessFolder(const fs::path& folder) {
    const std::string name = folder.filename().string();
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

bool HasHardware(const fs::path& entry, bool placeholders_exist) {
    std::error_code error;
    if (placeholders_exist) {
        const std::optional<std::string> type = ReadSmallFile(entry / "type", kShortFileLimit);
        return type && LeadingNumber(*type).value_or(0) != 0;
    }
    return fs::exists(entry / "device", error);
}

// /proc/locks names a locked file MAJOR:MINOR:INODE, the first two in hex: the device of
// the filesystem that holds the file, and its inode.
bool FileLockOn(const struct stat& node, const fs::path& proc) {
    const std::optional<std::string> locks = ReadSmallFile(proc / "locks", kLocksLimit);
    std::istringstream words(locks.value_or(""));
    std::string word;
    while (words >> word) {
        unsigned fs_major = 0;
        unsigned fs_minor = 0;
        unsigned long long inode = 0;
        int used = 0;
        if (std::sscanf(word.c_str(), "%x:%x:%llu%n", &fs_major, &fs_minor, &inode, &used) == 3 &&
            static_cast<std::size_t>(used) == word.size() && fs_major == major(node.st_dev) &&
            fs_minor == minor(node.st_dev) && inode == node.st_ino) {
            return true;
        }
    }
    return false;
}

// A UUCP lock file LCK..NAME holds its owner's pid; one left by a process that is gone
// locks nothing.
bool LockFileOn(const std::string& path, const LinuxFolders& folders) {
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    const std::string name = (error ? fs::path(path) : device).filename().string();
    for (const fs::path& folder : folders.locks) {
        const std::optional<std::string> owner = ReadSmallFile(folder / ("LCK.." + name), 64);
        const long long pid = owner ? LeadingNumber(*owner).value_or(0) : 0;
        if (pid > 0 && fs::exists(folders.proc / std::to_string(pid), error)) {
            return true;
        }
    }
    return false;
}

bool HasDescriptorFor(const fs::path& descriptors, const fs::path& device) {
    std::error_code error;
    for (fs::directory_iterator it(descriptors, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code link_error;
        if (fs::read_symlink(it->path(), link_error) == device && !link_error) {
            return true;
        }
    }
    return false;
}

// A process's name as the kernel keeps it, fit for a terminal.
std::string ProcessName(const fs::path& folder) {
    std::string name = ReadSmallFile(folder / "comm", 64).value_or("");
    name = name.substr(0, name.find('\n'));
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return name.empty() ? "?" : name;
}

// The controlling terminal's tty_nr, the seventh field of /proc/self/stat: the second after
// the name, which is in parentheses and may hold anything.
std::optional<long long> ControllingTerminal(const fs::path& proc) {
    const std::string stat = ReadSmallFile(proc / "self/stat", kShortFileLimit).value_or("");
    const std::size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(name_end + 1));
    std::string state;
    long long ppid = 0, group = 0, session = 0, tty_nr = 0;
    if (!(fields >> state >> ppid >> group >> session >> tty_nr) || tty_nr == 0) {
        return std::nullopt;
    }
    return tty_nr;
}

bool IsControllingTerminal(dev_t device, const fs::path& proc) {
    const std::optional<long long> tty_nr = ControllingTerminal(proc);
    if (!tty_nr) {
        return false;
    }
    const auto nr = static_cast<unsigned long long>(*tty_nr);
    const unsigned tty_major = (nr >> 8) & 0xFFF;
    const unsigned tty_minor = (nr & 0xFF) | ((nr >> 12) & 0xFFF00);
    return major(device) == tty_major && minor(device) == tty_minor;
}

}  // namespace

std::vector<std::string> PresentPorts(const LinuxFolders& folders) {
    const fs::path ttys = folders.sys / "class/tty";
    std::set<std::string> entries;
    std::error_code error;
    for (fs::directory_iterator it(ttys, error), end; !error && it != end; it.increment(error)) {
        entries.insert(it->path().filename().string());
    }
    std::vector<std::string> names;
    for (const std::string family : kFamilies) {
        for (int n = 0; n <= kHighestPortNumber; ++n) {
            const std::string name = family + std::to_string(n);
            if (entries.contains(name) && HasHardware(ttys / name, family == "ttyS")) {
                names.push_back(name);
            }
        }
    }
    return names;
}

bool DeviceIsFree(const std::string& path, const LinuxFolders& folders) {
    struct stat node {};
    return ::access(path.c_str(), R_OK | W_OK) == 0 && ::stat(path.c_str(), &node) == 0 &&
           !FileLockOn(node, folders.proc) && !LockFileOn(path, folders);
}

std::string HoldersOf(const std::string& path, const LinuxFolders& folders) {
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    if (error) {
        return {};
    }
    std::map<long long, std::string> holders;
    for (fs::directory_iterator it(folders.proc, error), end; !error && it != end;
         it.increment(error)) {
        if (IsProcessFolder(it->path()) && HasDescriptorFor(it->path() / "fd", device)) {
            holders[LeadingNumber(it->path().filename().string()).value_or(0)] =
                ProcessName(it->path());
        }
    }
    std::string text;
    for (const auto& [pid, name] : holders) {
        text += (text.empty() ? "" : ", ") + name + " (pid " + std::to_string(pid) + ")";
    }
    return text;
}

std::string TerminalRefusal(const std::string& path, const LinuxFolders& folders) {
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) {
        return {};
    }
    const unsigned node_major = major(node.st_rdev);
    const unsigned node_minor = minor(node.st_rdev);
    if ((node_major == kTtyAuxMajor && node_minor == kCurrentTtyMinor) ||
        IsControllingTerminal(node.st_rdev, folders.proc)) {
        return "the terminal this program runs in, not a serial port";
    }
    if ((node_major == kTtyAuxMajor && node_minor == kConsoleMinor) ||
        (node_major == kTtyMajor && node_minor < kVirtualConsoles)) {
        return "a console, not a serial port";
    }
    return {};
}

}  // namespace serial

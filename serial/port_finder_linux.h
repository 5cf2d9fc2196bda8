#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "serial/serial_platform.h"

namespace serial {

// Where the Linux backend learns about ports without opening them; a test points these at
// a made-up machine in a temporary folder.
struct LinuxFolders {
    std::filesystem::path sys = "/sys";
    std::filesystem::path dev = "/dev";
    std::filesystem::path proc = "/proc";
    std::vector<std::filesystem::path> locks = {"/var/lock", "/run/lock"};  // UUCP lock files
};

// The ports of the families ttyS, ttyAMA, ttyACM, ttyUSB and ttyCH343USB, numbers 0 to 99,
// in that order, that have hardware behind them: for ttyS, whose placeholders are always
// there, a port type other than unknown; for the others, a device.
std::vector<std::string> PresentPorts(const LinuxFolders& folders);

// We may read and write the device, and no program holds it by a lock, this one included:
// a file lock as /proc/locks lists them, or a UUCP lock file whose owner is alive.
bool DeviceIsFree(const std::string& path, const LinuxFolders& folders);

// "NAME (pid N)" for each process that has the device open, comma-separated, as far as its
// descriptors may be seen; empty when none could be found.
std::string HoldersOf(const std::string& path, const LinuxFolders& folders);

// Why `path` must never be taken for the module's port: it is the terminal this program
// runs in (or /dev/tty, which stands for it), the console or a virtual console. Empty when
// it may be opened. Nothing is opened to find out.
std::string TerminalRefusal(const std::string& path, const LinuxFolders& folders);

// The native backend, looking in `folders`.
std::unique_ptr<SerialPlatform> MakeLinuxSerialPlatform(LinuxFolders folders);

}  // namespace serial

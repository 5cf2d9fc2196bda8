// The Linux backend on a made-up machine: its /sys, /dev, /proc and lock folders in a
// temporary folder, the device nodes plain files.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/ports.h"
#include "serial/port_finder_linux.h"
#include "serial/port_scan.h"
#include "sim/pseudo_terminal.h"

namespace {

namespace fs = std::filesystem;

// How /proc/locks names the file at `path`: its filesystem's numbers, in hex, and its inode.
std::string LockKey(const std::string& path) {
    struct stat node {};
    EXPECT_EQ(::stat(path.c_str(), &node), 0) << path;
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%llu", major(node.st_dev), minor(node.st_dev),
                  static_cast<unsigned long long>(node.st_ino));
    return key;
}

class LinuxPortFinderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_root / "proc/77/fd"); }
    void TearDown() override { fs::remove_all(m_root); }
    void Write(const fs::path& file, const std::string& text) {
        fs::create_directories((m_root / file).parent_path());
        std::ofstream(m_root / file) << text;
    }

    const fs::path m_root = fs::temp_directory_path() / ("finder_" + std::to_string(::getpid()));
    const serial::LinuxFolders m_folders{
        m_root / "sys", m_root / "dev", m_root / "proc", {m_root / "lock"}};
    std::unique_ptr<serial::SerialPlatform> m_platform = serial::MakeLinuxSerialPlatform(m_folders);
};

// Each tty with what there is of it: its device link, a ttyS port type, its node in /dev, a
// lock in /proc/locks, a UUCP lock file naming a process that runs (77) or is gone (78).
TEST_F(LinuxPortFinderTest, PortsWithHardwareThatNobodyHoldsAreListedInFamilyOrder) {
    const std::pair<std::string, std::string> ttys[] = {
        {"ttyCH343USB0", "device node"}, {"ttyUSB10", "device node"},
        {"ttyUSB9", "device node"},      {"ttyUSB0", "device node flock"},
        {"ttyUSB100", "device node"},    {"ttyACM0", "node"},
        {"ttyACM1", "device node 77"},   {"ttyACM2", "device node 78"},
        {"ttyAMA3", "device"},           {"ttyS0", "device node type 4"},
        {"ttyS1", "device node type 0"}};
    std::string locks = "1: POSIX  ADVISORY  WRITE 99 00:01:12 0 EOF\n";
    for (const auto& [name, has] : ttys) {
        const fs::path entry = "sys/class/tty/" + name;
        Write(entry / "uevent", "");
        if (has.starts_with("device"))
            fs::create_directory_symlink(m_root, m_root / entry / "device");
        if (has.ends_with("type 4") || has.ends_with("type 0"))
            Write(entry / "type", has.substr(has.size() - 1) + "\n");
        if (has.find("node") != std::string::npos)
            Write("dev/" + name, "");
        if (has.find(" 7") != std::string::npos)
            Write("lock/LCK.." + name, "      " + has.substr(has.size() - 2) + "\n");
        if (has.ends_with("flock"))
            locks += "2: FLOCK  ADVISORY  WRITE 77 " + LockKey(m_root / "dev" / name) + " 0 EOF\n";
    }
    Write("proc/locks", locks);
    EXPECT_EQ(
        serial::ScanPorts(*m_platform),
        (std::vector<std::string>{"ttyS0", "ttyACM2", "ttyUSB9", "ttyUSB10", "ttyCH343USB0"}));
    EXPECT_TRUE(cli::ChoosePort(*m_platform, "")
                    .problem.starts_with(
                        "several USB serial ports (ttyACM2, ttyUSB9, ttyUSB10, ttyCH343USB0)"));

    fs::create_symlink(fs::canonical(m_root / "dev/ttyUSB9"), m_root / "proc/77/fd/5");
    Write("proc/77/comm", "lcd\tpanel\n");  // named fit for a terminal
    EXPECT_EQ(serial::HoldersOf((m_root / "dev/ttyUSB9").string(), m_folders),
              "lcd?panel (pid 77)");
    EXPECT_EQ(serial::HoldersOf((m_root / "dev/ttyUSB10").string(), m_folders), "");

    // Terminals are refused unopened; ours is the one /proc/self/stat's tty_nr names.
    sim::PseudoTerminal own(9600);
    struct stat tty {};
    ::stat(own.SlavePath().c_str(), &tty);
    const unsigned tty_nr = major(tty.st_rdev) << 8 | minor(tty.st_rdev);
    Write("proc/self/stat", "9 (a) b) S 1 9 9 " + std::to_string(tty_nr) + " -1\n");
    EXPECT_EQ(m_platform->OpenExclusive(own.SlavePath()), nullptr);
    const std::string ours = "the terminal this program runs in, not a serial port",
                      console = "a console, not a serial port";
    const std::pair<std::string, std::string> terminals[] = {
        {own.SlavePath(), ours}, {"/dev/tty", ours}, {"/dev/console", console},
        {"/dev/tty63", console}, {"/dev/ttyS0", ""}, {"/dev/null", ""}};
    for (const auto& [path, reason] : terminals)
        EXPECT_EQ(serial::TerminalRefusal(path, m_folders), reason) << path;
}

}  // namespace

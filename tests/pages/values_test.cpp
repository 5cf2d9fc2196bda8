// Pages: the system's values read from a made-up tree, and programs run for their output.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "pages/command_runner.h"
#include "pages/system_values.h"

namespace {

using namespace pages;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Files = std::vector<std::pair<std::string, std::string>>;  // path under the root, text

const Clock::time_point kStart = Clock::time_point{} + 1h;

class MadeUpTree {
public:
    MadeUpTree() { EXPECT_NE(mkdtemp(m_root.data()), nullptr); }
    ~MadeUpTree() { std::filesystem::remove_all(root()); }
    void Write(const Files& files) const {
        for (const auto& [path, text] : files) {
            std::filesystem::create_directories((root() / path).parent_path());
            std::ofstream(root() / path) << text;
        }
    }
    std::filesystem::path root() const { return m_root; }

private:
    std::string m_root = ::testing::TempDir() + "values_XXXXXX";
};

const char kNetHeading[] = "Inter-| Receive | Transmit\n face |bytes packets|bytes packets\n";
const char kFibTrie[] = R"(
     +-- 127.0.0.0/8 2 0 2
        |-- 127.0.0.1
           /32 host LOCAL
     |-- 10.0.0.5
        /32 link BROADCAST
        /32 host LOCAL
)";

struct ReadingRow {
    SystemGroup group;
    Files first;   // read at kStart
    Files second;  // when given, written over the first and read 2 s later
    ValueMap expected;
};

// clang-format off
const char kStat1[] = "cpu 100 0 100 800 0 0 0 0 0 0\ncpu0 50 0 50 400 0\ncpu1 50 0 50 400 0\n";
const char kStat2[] = "cpu 150 0 150 900 0 0 0 0 9 9\ncpu0 150 0 50 400 0\ncpu1 50 0 50 450 50\n";
const std::string kDev1 = std::string(kNetHeading) + "lo: 100 1 0 0 0 0 0 0 100 1 0 0 0 0 0 0\n"
                                                     "eth0: 1000 1 0 0 0 0 0 0 500 1 0 0 0 0\n";
const std::string kDev2 = std::string(kNetHeading) + "lo: 300 1 0 0 0 0 0 0 300 1 0 0 0 0 0 0\n"
                                                     "eth0: 3000 1 0 0 0 0 0 0 400 1 0 0 0 0\n";
const char kMeminfo[] = "MemTotal: 1000 kB\nMemFree: 9 kB\nMemAvailable: 250 kB\n"
                       "SwapTotal: 400 kB\nSwapFree: 300 kB\nHugePages_Total: 0\n";
const std::string kHwmon = "sys/class/hwmon/hwmon";
const std::string kZone = "sys/class/thermal/thermal_zone0/";

const ReadingRow kReadings[] = {
    {SystemGroup::Uptime, {{"proc/uptime", "12345.67 999.00\n"}}, {}, {{"uptime", 12345.67}}},
    {SystemGroup::Hostname, {{"proc/sys/kernel/hostname", "  panel-box \nmore"}}, {},
     {{"hostname", std::string("panel-box")}}},
    {SystemGroup::Ipv4, {{"proc/net/fib_trie", kFibTrie}}, {}, {{"ipv4", std::string("10.0.0.5")}}},
    {SystemGroup::Load, {{"proc/loadavg", "0.50 1.25 2.00 1/100 1234\n"}}, {},
     {{"load.1", 0.5}, {"load.5", 1.25}, {"load.15", 2.0}}},
    {SystemGroup::Memory, {{"proc/meminfo", kMeminfo}}, {},
     {{"mem.total", 1024000.0}, {"mem.available", 256000.0}, {"mem.used", 768000.0},
      {"mem.percent", 75.0}, {"swap.total", 409600.0}, {"swap.used", 102400.0},
      {"swap.percent", 25.0}}},
    {SystemGroup::Cpu, {{"proc/stat", kStat1}}, {}, {{"cpu.cores", 2.0}}},
    {SystemGroup::Cpu, {{"proc/stat", kStat1}}, {{"proc/stat", kStat2}},
     {{"cpu.cores", 2.0}, {"cpu.percent", 50.0}, {"cpu0.percent", 100.0}, {"cpu1.percent", 0.0}}},
    {SystemGroup::Network, {{"proc/net/dev", kDev1}}, {}, {}},
    {SystemGroup::Network, {{"proc/net/dev", kDev1}}, {{"proc/net/dev", kDev2}},
     {{"net.lo.rx", 100.0}, {"net.lo.tx", 100.0}, {"net.eth0.rx", 1000.0}, {"net.rx", 1000.0}}},
    {SystemGroup::Temperature,
     {{kHwmon + "0/name", "coretemp\n"}, {kHwmon + "0/temp1_label", "Package id 0\n"},
      {kHwmon + "0/temp1_input", "45000\n"}, {kHwmon + "0/temp2_input", "40500\n"},
      {kHwmon + "0/temp10_label", "  Core  #1!!"}, {kHwmon + "0/temp10_input", "-1500"},
      {kHwmon + "1/name", "nvme\n"}, {kHwmon + "1/temp1_label", "Package id 0\n"},
      {kHwmon + "1/temp1_input", "30000\n"}, {kZone + "type", "x86_pkg_temp\n"},
      {kZone + "temp", "50000\n"}}, {},
     {{"temp.package_id_0", 45.0}, {"temp.coretemp_2", 40.5}, {"temp.core_1", -1.5},
      {"temp.package_id_0_2", 30.0}, {"temp.x86_pkg_temp", 50.0}}},
};
// clang-format on

TEST(SystemValuesTest, EachGroupGivesItsValues) {
    for (const ReadingRow& row : kReadings) {
        MadeUpTree tree;
        SystemValues system(tree.root());
        ValueMap values;
        tree.Write(row.first);
        EXPECT_EQ(system.Refresh(row.group, kStart, values), std::nullopt);
        if (!row.second.empty()) {
            tree.Write(row.second);
            EXPECT_EQ(system.Refresh(row.group, kStart + 2s, values), std::nullopt);
        }
        EXPECT_EQ(values, row.expected) << "group " << static_cast<int>(row.group);
    }
}

// The group's first tree in kReadings, read well, then a file removed (bad null) or spoilt.
struct FailureRow {
    SystemGroup group;
    std::string path;
    const char* bad;
    std::string error;
    ValueMap left;  // what the group still gives
};

// clang-format off
const FailureRow kFailures[] = {
    {SystemGroup::Load, "proc/loadavg", nullptr,
     "cannot read /proc/loadavg: No such file or directory", {}},
    {SystemGroup::Load, "proc/loadavg", "0.5 zz 1", "cannot parse /proc/loadavg",
     {{"load.1", 0.5}}},
    {SystemGroup::Uptime, "proc/uptime", "nan 1", "cannot parse /proc/uptime", {}},
    {SystemGroup::Memory, "proc/meminfo", "MemTotal: 4 kB\nMemAvailable: 9 kB\nSwapTotal: 0 kB\n"
     "SwapFree: 0 kB", "cannot parse /proc/meminfo",
     {{"swap.total", 0.0}, {"swap.used", 0.0}, {"swap.percent", 0.0}}},
    {SystemGroup::Ipv4, "proc/net/fib_trie", "  |-- 127.0.0.1\n     /32 host LOCAL\n",
     "no IPv4 address in /proc/net/fib_trie", {}},
    {SystemGroup::Cpu, "proc/stat", "cpu 18446744073709551615 1 1 1 1\n",
     "cannot parse /proc/stat", {{"cpu.cores", 0.0}}},
    {SystemGroup::Network, "proc/net/dev", "\n\nlo: 1 -1\n", "cannot parse /proc/net/dev", {}},
    {SystemGroup::Temperature, kHwmon + "0/temp1_input", "hot",
     "cannot parse /sys/class/hwmon/hwmon0/temp1_input",
     {{"temp.coretemp_2", 40.5}, {"temp.core_1", -1.5}, {"temp.package_id_0", 30.0},
      {"temp.x86_pkg_temp", 50.0}}},
};
// clang-format on

TEST(SystemValuesTest, AFileThatCannotBeReadIsNamedAndItsOldValuesGo) {
    for (const FailureRow& row : kFailures) {
        MadeUpTree tree;
        SystemValues system(tree.root());
        ValueMap values;
        tree.Write(
            std::find_if(std::begin(kReadings), std::end(kReadings), [&](const auto& reading) {
                return reading.group == row.group;
            })->first);
        EXPECT_EQ(system.Refresh(row.group, kStart, values), std::nullopt) << row.path;
        if (row.bad == nullptr) {
            std::filesystem::remove(tree.root() / row.path);
        } else {
            tree.Write({{row.path, row.bad}});
        }
        EXPECT_EQ(system.Refresh(row.group, kStart + 2s, values), row.error);
        EXPECT_EQ(values, row.left) << row.path;
    }
}

TEST(SystemValuesTest, DiskUseAddsUpOrNamesThePath) {
    MadeUpTree tree;
    ValueMap values;
    EXPECT_EQ(ReadDiskUse(tree.root(), "disk", values), std::nullopt);
    EXPECT_LE(std::get<double>(values["disk.used"]) + std::get<double>(values["disk.free"]),
              std::get<double>(values["disk.total"]));
    const std::filesystem::path gone = tree.root() / "gone";
    EXPECT_EQ(ReadDiskUse(gone, "disk", values),
              "cannot read the disk use of " + gone.string() + ": No such file or directory");
    EXPECT_FALSE(values.contains("disk.used"));
}

const std::string kZeros(4096, '\0');

struct CommandRow {
    std::vector<std::string> argv;
    std::chrono::milliseconds timeout;
    std::string output;
    std::string error;  // empty when it is ok
};

// clang-format off
const CommandRow kCommands[] = {
    {{"printf", "first\\nsecond\\n"}, 5s, "first\nsecond\n", ""},
    {{"cat", "/dev/zero"}, 5s, kZeros, ""},
    {{"sh", "-c", "cat /dev/zero | head -c 100000"}, 5s, kZeros, ""},
    {{"sh", "-c", "echo partial; exit 3"}, 5s, "partial\n", "exit status 3"},
    {{"sh", "-c", "kill -9 $$"}, 5s, "", "killed by signal 9"},
    {{"no-such-program"}, 5s, "", "cannot run no-such-program: No such file or directory"},
    {{"sleep", "10"}, 300ms, "", "timed out after 300 ms"},
    {{"sh", "-c", "echo early; sleep 10"}, 1000ms, "early\n", "timed out after 1 s"},
    {{}, 5s, "", "no command"},
};
// clang-format on

TEST(RunCommandTest, OutputLimitAndFailures) {
    for (const CommandRow& row : kCommands) {
        const Clock::time_point start = Clock::now();
        const CommandOutput result = RunCommand(row.argv, row.timeout, 4096);
        EXPECT_EQ(result.output, row.output) << row.error;
        EXPECT_EQ(result.error, row.error);
        EXPECT_EQ(result.ok, row.error.empty()) << row.error;
        EXPECT_LT(Clock::now() - start, row.timeout + 3s) << row.error;
    }
}

TEST(RunCommandTest, ATimeoutEndsWhatTheProgramStarted) {
    // Orphans are handed to us, so that the background sleep can be reaped and its end seen.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    MadeUpTree tree;
    const std::string pid_file = (tree.root() / "pid").string();
    const auto result =
        RunCommand({"sh", "-c", "sleep 10 & echo $! > \"$0\"; wait", pid_file}, 300ms, 100);
    EXPECT_EQ(result.error, "timed out after 300 ms");
    pid_t background = 0;
    std::ifstream(pid_file) >> background;
    ASSERT_GT(background, 0);
    int status = 0;
    const Clock::time_point deadline = Clock::now() + 3s;
    while (waitpid(background, &status, WNOHANG) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

}  // namespace

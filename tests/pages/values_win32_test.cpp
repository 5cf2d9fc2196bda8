// The system's values as Windows gives them, and commands run through cmd.exe.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "pages/command_runner.h"
#include "pages/system_values.h"

namespace {

using namespace std::chrono_literals;
using pages::SystemGroup;
using pages::ValueMap;

double Number(const ValueMap& values, const std::string& name) {
    const auto found = values.find(name);
    const double* number = found == values.end() ? nullptr : std::get_if<double>(&found->second);
    return number ? *number : -1;
}
bool Between(double number, double low, double high) {
    return number >= low && number <= high;
}

TEST(SystemValuesWin32Test, EachGroupGivesPlausibleValuesOrSaysWhyNot) {
    const struct {
        SystemGroup group;
        const char* error;  // the start of it; empty for none
        std::function<bool(const ValueMap&)> plausible;
    } rows[] = {
        {SystemGroup::Uptime, "", [](auto& v) { return Number(v, "uptime") > 0; }},
        {SystemGroup::Hostname, "",
         [](auto& v) { return !std::get<std::string>(v.at("hostname")).empty(); }},
        {SystemGroup::Cpu, "",
         [](auto& v) {
             return Number(v, "cpu.cores") >= 1 && Between(Number(v, "cpu.percent"), 0, 100) &&
                    Between(Number(v, "cpu0.percent"), 0, 100);
         }},
        {SystemGroup::Memory, "",
         [](auto& v) {
             return Number(v, "mem.total") > 0 && Between(Number(v, "mem.percent"), 0, 100) &&
                    Between(Number(v, "swap.percent"), 0, 100);
         }},
        {SystemGroup::Network, "",
         [](auto& v) {
             return std::all_of(v.begin(), v.end(), [](auto& entry) {
                 return entry.first.starts_with("net.") && std::get<double>(entry.second) >= 0;
             });
         }},
        {SystemGroup::Load, "no load averages: Windows keeps none",
         [](auto& v) { return v.empty(); }},
        {SystemGroup::Temperature, "no temperature sensor: Windows gives none without a driver",
         [](auto& v) { return v.empty(); }},
    };
    pages::SystemValues system;
    for (const auto& row : rows) {
        ValueMap values;
        system.Refresh(row.group, std::chrono::steady_clock::now(), values);
        std::this_thread::sleep_for(100ms);  // rates need a reading before, some ticks ago
        const auto error = system.Refresh(row.group, std::chrono::steady_clock::now(), values);
        EXPECT_TRUE(error.value_or("").starts_with(row.error)) << error.value_or("");
        EXPECT_TRUE(row.plausible(values)) << static_cast<int>(row.group);
    }
    ValueMap disk;
    EXPECT_EQ(pages::ReadDiskUse("C:\\windows", "disk", disk), std::nullopt);
    EXPECT_TRUE(Number(disk, "disk.total") > 0 && Between(Number(disk, "disk.percent"), 0, 100));
    const auto missing = pages::ReadDiskUse("Q:\\nowhere", "disk", disk);
    EXPECT_TRUE(missing.value_or("").starts_with("cannot read the disk use of Q:\\nowhere: "));
    EXPECT_TRUE(disk.empty());
}

TEST(RunCommandWin32Test, OutputLimitExitAndTimeout) {
    const struct {
        std::vector<std::string> argv;
        std::chrono::milliseconds timeout;
        std::size_t limit;
        std::string output;
        std::string error;  // the start of it
    } rows[] = {
        {{"cmd", "/c", "echo", "a b", "c\\\"d"}, 10s, 100, "\"a b\" \"c\\\\\\\"d\"\r\n", ""},
        {{"cmd", "/c", "echo 0123456789"}, 10s, 4, "0123", ""},
        {{"cmd", "/c", "exit 3"}, 10s, 100, "", "exit status 3"},
        {{"no-such-program-here"}, 10s, 100, "", "cannot run no-such-program-here: "},
        {{"cmd", "/c", "echo early& for /l %i in (0,0,1) do @rem"},
         500ms,
         100,
         "early\r\n",
         "timed out after 500 ms"},
    };
    for (const auto& row : rows) {
        const auto start = std::chrono::steady_clock::now();
        const pages::CommandOutput result = pages::RunCommand(row.argv, row.timeout, row.limit);
        EXPECT_EQ(result.output, row.output) << row.argv.back();
        EXPECT_TRUE(result.error.starts_with(row.error)) << result.error;
        EXPECT_EQ(result.ok, row.error.empty()) << row.argv.back();
        EXPECT_LT(std::chrono::steady_clock::now() - start, row.timeout + 3s) << row.argv.back();
    }
}

}  // namespace

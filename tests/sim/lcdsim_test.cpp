// lcdsim ships to users: its --help must tell the truth. What it does on the line, the
// tests of the panel's link show.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "sim/command_line.h"

namespace {

TEST(LcdsimHelp, ListsExactlyTheOptionsTheParserTakesAndWhichWantAValue) {
    const std::string usage = sim::UsageText();
    static const std::regex option("[ ,](--?[a-z][a-z-]*)( [A-Z])?");  // "--baud N"
    std::set<std::string> listed;
    for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
        const std::string name = (*it)[1];
        listed.insert(name);
        const bool takes_value = (*it)[2].matched;
        EXPECT_EQ(sim::ParseCommandLine({name}).error, takes_value ? name + " needs a value" : "");
    }
    const std::vector<std::string> accepted = sim::OptionNames();
    EXPECT_EQ(listed, std::set<std::string>(accepted.begin(), accepted.end()));
}

}  // namespace

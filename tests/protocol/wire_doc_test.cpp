#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "protocol/module_commands.h"

namespace {

// The doc's table rows that name an lcdctl command, in order, as "COMMAND | CELL | ...",
// without the first cell.
std::vector<std::string> DocCommandRows() {
    std::ifstream doc(WIRE_PROTOCOL_DOC);
    const std::regex row(R"(^\|.*\(.*`lcdctl ([^`]+)`\) \|(.*)$)");
    std::vector<std::string> rows;
    std::smatch match;
    for (std::string line; std::getline(doc, line);) {
        if (std::regex_match(line, match, row)) {
            rows.push_back(match[1].str() + " |" + match[2].str());
        }
    }
    return rows;
}

// Each row of the module's table, as the doc's row for it begins.
std::vector<std::string> TableRows() {
    std::vector<std::string> rows;
    for (const protocol::ModuleSetting& setting : protocol::kSettings) {
        rows.push_back(std::string(setting.name) + " | `" + setting.prefix + "N\\n` | 0 to " +
                       std::to_string(setting.choices - 1) + " |");
    }
    for (const protocol::TestPattern& pattern : protocol::kPatterns) {
        char fill[8];
        std::snprintf(fill, sizeof fill, "0x%02X", pattern.fill);
        rows.push_back("pattern " + std::string(pattern.name) + " | " + fill + " |");
    }
    return rows;
}

TEST(WireDocTest, ItsCommandTablesAreTheModulesTable) {
    const std::vector<std::string> doc = DocCommandRows();
    const std::vector<std::string> table = TableRows();
    ASSERT_EQ(doc.size(), table.size()) << WIRE_PROTOCOL_DOC;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(doc[i].substr(0, table[i].size()), table[i]);
    }
}

}  // namespace

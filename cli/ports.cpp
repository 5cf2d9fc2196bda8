#include "cli/ports.h"

namespace cli {

std::string DescribePort(const std::string& name, const PortDetails& details) {
    std::string line = name;
    const auto add = [&line](const std::string& value, const char* label) {
        line += '\t';
        if (value.empty()) {
            line += '-';
        } else {
            line.append(label).append(value);
        }
    };
    add(details.maker, "");
    add(details.product, "");
    add(details.serial, "serial ");
    add(details.by_id, "");
    return line;
}

}  // namespace cli

#include "cli/ports.h"

namespace cli {

// COM names do not tell a USB adapter from a built-in port.
bool IsUsbSerialName(const std::string&) {
    return false;
}

PortDetails DetailsOf(const std::string&, const std::filesystem::path&,
                      const std::filesystem::path&) {
    return {};
}

}  // namespace cli

#include "cli/hub_channel.h"

namespace cli {

// The hub does not run on Windows yet: lcdctl uses the port itself there.
std::unique_ptr<HubChannel> ConnectHub(const std::string&, std::string* why) {
    if (why)
        *why = "lcdhub does not run on Windows yet";
    return nullptr;
}

std::vector<std::string> HubCandidates() {
    return {};
}

}  // namespace cli

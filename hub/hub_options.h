#pragma once

#include <string>
#include <vector>

#include "hub/hub_service.h"

namespace hub {

struct ParsedHubArguments {
    HubOptions options;
    bool help = false;
    std::string error;  // empty when the arguments were understood
};

// lcdhub's arguments, without the program's name.
ParsedHubArguments ParseHubArguments(const std::vector<std::string>& args);

std::string HubUsageText();

}  // namespace hub

// lcdhub: the module's port held by one service, its screen shared by any program that
// speaks a line protocol on a local socket or pipe.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "hub/hub_options.h"
#include "hub/hub_service.h"
#include "hub/system_notices.h"

int main(int argc, char** argv) {
    const hub::ParsedHubArguments parsed =
        hub::ParseHubArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::fputs(hub::HubUsageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "lcdhub: %s\n%s", parsed.error.c_str(), hub::HubUsageText().c_str());
        return 2;
    }
    try {
        auto platform = serial::MakeNativeSerialPlatform();
        hub::HubService service(parsed.options, *platform);
        service.Listen();
        hub::SystemNotices notices([&service] { service.Stop(); },
                                   [&service] { service.PortsChanged(); });
        service.Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lcdhub: %s\n", error.what());
        return 1;
    }
    return 0;
}

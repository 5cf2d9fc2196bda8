// lcdhub: the module's port held by one service, its screen shared by any program that
// speaks a line protocol on a local socket.

#include <signal.h>

#include <asio.hpp>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "hub/hub_options.h"
#include "hub/hub_service.h"

int main(int argc, char** argv) {
    const hub::ParsedHubArguments parsed =
        hub::ParseHubArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::fputs(hub::HubUsageText(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "lcdhub: %s\n%s", parsed.error.c_str(), hub::HubUsageText());
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);  // a client that went away is an error, not a death
    try {
        auto platform = serial::MakeNativeSerialPlatform();
        hub::HubService service(parsed.options, *platform);
        service.Listen();
        // The signals are taken on a context of their own, so that a stop is heard while
        // the service's thread is busy.
        asio::io_context signals_io;
        asio::signal_set signals(signals_io, SIGINT, SIGTERM);
        signals.async_wait([&](std::error_code error, int) {
            if (!error) {
                service.Stop();
            }
        });
        std::thread signal_thread([&] { signals_io.run(); });
        service.Run();
        signals_io.stop();
        signal_thread.join();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lcdhub: %s\n", error.what());
        return 1;
    }
    return 0;
}

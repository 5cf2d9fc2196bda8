#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// lcdctl's way to a running lcdhub: a local socket on POSIX systems.
namespace cli {

class HubChannel {
public:
    virtual ~HubChannel() = default;
    // The whole block, or false when the hub went away or stopped reading until `timeout`.
    virtual bool Write(const void* data, std::size_t count, std::chrono::milliseconds timeout) = 0;
    // Some bytes, as they come: 0 when the hub closed, nullopt when `timeout` passed first.
    virtual std::optional<std::size_t> Read(char* buffer, std::size_t room,
                                            std::chrono::milliseconds timeout) = 0;
};

// Connects to the hub at `path`; nullptr when none answers there, `why` saying so.
std::unique_ptr<HubChannel> ConnectHub(const std::string& path, std::string* why = nullptr);

// Where a hub may listen, in the order to try: this user's, then the one system instance's.
std::vector<std::string> HubCandidates();

}  // namespace cli

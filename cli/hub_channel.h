#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// lcdctl's way to a running lcdhub: a local socket on POSIX systems, a named pipe on Windows.
namespace cli {

class HubChannel {
public:
    virtual ~HubChannel() = default;
    // The whole block, or false when the hub went away or stopped reading until `timeout`.
    bool Write(const void* data, std::size_t count, std::chrono::milliseconds timeout);
    // Some bytes, as they come: 0 when the hub closed, nullopt when `timeout` passed first.
    virtual std::optional<std::size_t> Read(char* buffer, std::size_t room,
                                            std::chrono::milliseconds timeout) = 0;

protected:
    // What of `count` bytes went within `left` (0 is allowed: a busy moment), or nullopt when
    // the hub went away or the time is up.
    virtual std::optional<std::size_t> WriteSome(const char* data, std::size_t count,
                                                 std::chrono::milliseconds left) = 0;
};

// Connects to the hub at `path`; nullptr when none answers there, `why` saying so.
std::unique_ptr<HubChannel> ConnectHub(const std::string& path, std::string* why = nullptr);

// Where a hub may listen, in the order to try: this user's, then the one system instance's.
std::vector<std::string> HubCandidates();

}  // namespace cli

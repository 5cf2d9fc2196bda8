#include "cli/hub_channel.h"

namespace cli {

bool HubChannel::Write(const void* data, std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const char* next = static_cast<const char*>(data);
    while (count > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const std::optional<std::size_t> put = WriteSome(next, count, left);
        if (!put) {
            return false;
        }
        next += *put;
        count -= *put;
    }
    return true;
}

}  // namespace cli

#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Asks until `done` holds; false once `timeout` has passed. Nothing else runs meanwhile on
// this thread, so what `done` waits for must come from another thread or process.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace testing_support

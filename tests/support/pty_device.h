#pragma once

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sim/pseudo_terminal.h"

namespace testing_support {

// The device's side of a pseudo-terminal, played by the test through the master.
inline void WriteFromDevice(const sim::PseudoTerminal& pty, const std::string& bytes) {
    ASSERT_EQ(::write(pty.Master(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
}

// What reaches the device, until `count` bytes or a quiet `timeout_ms`.
inline std::string ReadAtDevice(const sim::PseudoTerminal& pty, std::size_t count,
                                int timeout_ms = 2000) {
    std::string got;
    char chunk[4096];
    pollfd input{pty.Master(), POLLIN, 0};
    while (got.size() < count && ::poll(&input, 1, timeout_ms) > 0) {
        const ssize_t n = ::read(pty.Master(), chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0)
            break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace testing_support

#pragma once

#include <chrono>
#include <string>

namespace sim_testing {

// The host's end of the line, opened from the test with plain system calls: the slave of
// the module's pseudo-terminal, raw at a speed of the test's choosing.
class HostLine {
public:
    HostLine(const std::string& path, int baud);
    ~HostLine();
    HostLine(const HostLine&) = delete;
    HostLine& operator=(const HostLine&) = delete;

    int Fd() const { return m_fd; }
    void SetBaud(int baud);
    // False when the write failed (errno says why).
    bool Write(const std::string& bytes);
    // Everything up to and including the first line feed, or what arrived before
    // `timeout` ran out.
    std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    // Everything that arrives within `span`.
    std::string ReadFor(std::chrono::milliseconds span);

private:
    int m_fd = -1;
};

}  // namespace sim_testing

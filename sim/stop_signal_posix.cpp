#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "sim/stop_signal.h"

namespace sim {

StopSignal::StopSignal() {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
}

StopSignal::~StopSignal() {
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void StopSignal::Raise() {
    m_raised = true;
    const char wake = 1;
    (void)!::write(m_pipe[1], &wake, 1);
}

void StopSignal::Reset() {
    char sink[64];
    while (::read(m_pipe[0], sink, sizeof sink) > 0) {
    }
    m_raised = false;
}

bool StopSignal::SleepUntil(std::chrono::steady_clock::time_point deadline) const {
    while (!m_raised) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= left.zero()) {
            return true;
        }
        const auto whole = std::chrono::duration_cast<std::chrono::seconds>(left);
        const auto part = std::chrono::duration_cast<std::chrono::nanoseconds>(left - whole);
        const timespec wait{static_cast<time_t>(whole.count()), static_cast<long>(part.count())};
        pollfd wake{m_pipe[0], POLLIN, 0};
        (void)::ppoll(&wake, 1, &wait, nullptr);
    }
    return false;
}

void StopSignal::Wait() const {
    while (!m_raised) {
        pollfd wake{m_pipe[0], POLLIN, 0};
        (void)::poll(&wake, 1, -1);
    }
}

}  // namespace sim

#include "host_line.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

#include "serial/termios2_linux.h"

namespace sim_testing {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

}  // namespace

HostLine::HostLine(const std::string& path, int baud) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        throw std::runtime_error("cannot open " + path);
    }
    SetBaud(baud);
}

HostLine::~HostLine() {
    ::close(m_fd);
}

void HostLine::SetBaud(int baud) {
    if (!serial::termios2::SetRawLine(m_fd, baud)) {
        throw std::runtime_error("cannot set the line speed");
    }
}

bool HostLine::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno == EAGAIN) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

std::string HostLine::ReadLine(std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    std::string got;
    while (got.find('\n') == std::string::npos) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(end)) <= 0) {
            break;
        }
        char c;
        // One byte at a time, so nothing after the line feed is taken from the queue.
        if (::read(m_fd, &c, 1) != 1) {
            break;
        }
        got.push_back(c);
    }
    return got;
}

std::string HostLine::ReadFor(std::chrono::milliseconds span) {
    const auto end = Clock::now() + span;
    std::string got;
    while (Clock::now() < end) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(end)) <= 0) {
            break;
        }
        char chunk[256];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace sim_testing

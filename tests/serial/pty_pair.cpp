#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

namespace testing_support {

PtyPair::PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    m_slave_path = ::ptsname(m_master);
}

PtyPair::~PtyPair() {
    CloseMaster();
}

void PtyPair::CloseMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyPair::WriteFromDevice(const std::string& bytes) {
    if (::write(m_master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("short write to the pseudo-terminal");
    }
}

std::string PtyPair::ReadAtDevice(std::size_t count, int timeout_ms) {
    std::string got;
    while (got.size() < count) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) <= 0) {
            break;
        }
        char chunk[4096];
        const ssize_t n = ::read(m_master, chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0) {
            break;
        }
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace testing_support

#include <fcntl.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "serial/termios2_linux.h"
#include "sim/pseudo_terminal.h"

namespace sim {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("pseudo-terminal: " + what + ": " + std::strerror(errno));
}

}  // namespace

PseudoTerminal::PseudoTerminal(int start_baud) {
    // Non-blocking, so that the serving thread never hangs in a read or a write and can
    // always notice that it is asked to stop.
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_master < 0) {
        Fail("posix_openpt");
    }
    char name[128];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        const int saved = errno;
        Close();
        errno = saved;
        Fail("grantpt/unlockpt/ptsname");
    }
    m_slave_path = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_slave < 0 || !serial::termios2::SetRawLine(m_slave, start_baud)) {
        const int saved = errno;
        Close();
        errno = saved;
        Fail("slave " + m_slave_path);
    }
    WatchHostOpens();
}

// Added after our own open, so that only the host's opens are counted.
void PseudoTerminal::WatchHostOpens() {
    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch >= 0 &&
        ::inotify_add_watch(m_watch, m_slave_path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(m_watch);
        m_watch = -1;
    }
}

void PseudoTerminal::FollowHost() {
    alignas(inotify_event) char events[4096];
    ssize_t got;
    while (m_watch >= 0 && (got = ::read(m_watch, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->mask & IN_Q_OVERFLOW) {
                m_host_opens = std::max(m_host_opens, 1);  // unknown: keep the line working
            } else if (event->mask & IN_OPEN) {
                ++m_host_opens;
            } else if ((event->mask & IN_CLOSE) && m_host_opens > 0 && --m_host_opens == 0) {
                (void)::tcflush(m_slave, TCIFLUSH);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

PseudoTerminal::~PseudoTerminal() {
    Close();
}

std::optional<int> PseudoTerminal::HostBaud() const {
    if (m_master < 0) {
        return std::nullopt;
    }
    return serial::termios2::OutputSpeed(m_master);
}

void PseudoTerminal::Close() {
    if (m_watch >= 0) {
        ::close(m_watch);
        m_watch = -1;
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

}  // namespace sim

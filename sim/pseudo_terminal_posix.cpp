#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

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

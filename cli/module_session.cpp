#include "cli/module_session.h"

#include <algorithm>
#include <thread>

#include "cli/terminal.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

// Sleeps up to `pause`, but not past `deadline` and not past Ctrl-C.
void PauseBefore(Clock::time_point deadline, std::chrono::milliseconds pause) {
    const Clock::time_point until = std::min(deadline, Clock::now() + pause);
    while (Clock::now() < until && !Interrupted()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

ModuleSession::ModuleSession(serial::SerialPlatform& platform, serial::LogSink& log)
    : m_log(log), m_link(platform, log), m_negotiator(m_link, log), m_commands(m_link, log) {
    m_link.SetWakeOnInput(true);
    m_link.SetStopRequested(Interrupted);
}

bool ModuleSession::Connect(const std::string& port, std::int32_t baud) {
    const std::string path = m_link.Platform().DevicePath(port);
    const std::string chosen = std::to_string(baud);
    m_port = port;
    m_baud = baud;
    m_unopenable.reset();
    if (m_negotiator.HandshakeAt(path, baud, baud)) {
        m_log.LogLine(protocol::kConnectedLine + chosen);
        return true;
    }
    if (m_link.LastOpenFailure()) {
        m_unopenable = m_link.LastOpenFailure();  // no other speed opens it either
        return false;
    }
    if (m_negotiator.WriteFailed()) {
        return false;
    }
    if (m_negotiator.Negotiate(port, chosen) == protocol::NegotiationOutcome::Connected) {
        return true;
    }
    m_unopenable = m_negotiator.PortUnopenable();
    return false;
}

bool ModuleSession::Reconnect(Clock::time_point deadline) {
    m_link.ClosePort();
    const std::string path = m_link.Platform().DevicePath(m_port);
    const std::string chosen = std::to_string(m_baud);
    while (Clock::now() < deadline && !Interrupted()) {
        // Only a port that opens is worth the seven probes: a missing one would log each.
        // The trial device is closed again before they start.
        const bool opens = m_link.Platform().OpenExclusive(path) != nullptr;
        if (opens &&
            m_negotiator.Negotiate(m_port, chosen) == protocol::NegotiationOutcome::Connected) {
            return true;
        }
        PauseBefore(deadline, std::chrono::milliseconds(200));
    }
    return false;
}

}  // namespace cli

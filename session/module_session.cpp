#include "session/module_session.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace session {

namespace {

using Clock = std::chrono::steady_clock;

// Sleeps up to `pause`, but not past `deadline` and not past a stop.
void PauseBefore(Clock::time_point deadline, std::chrono::milliseconds pause,
                 const StopCheck& stop) {
    const Clock::time_point until = std::min(deadline, Clock::now() + pause);
    while (Clock::now() < until && !stop()) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(20)));
    }
}

// A session given no stop check runs until its deadlines.
StopCheck OrNever(StopCheck stop) {
    return stop ? std::move(stop) : StopCheck([] { return false; });
}

}  // namespace

ModuleSession::ModuleSession(serial::SerialPlatform& platform, serial::LogSink& log, StopCheck stop)
    : m_log(log),
      m_stop(OrNever(std::move(stop))),
      m_link(platform, log),
      m_negotiator(m_link, log),
      m_commands(m_link, log) {
    m_link.SetWakeOnInput(true);
    m_link.SetStopRequested(m_stop);
}

bool ModuleSession::Connect(const std::string& port, std::int32_t baud) {
    const std::string path = m_link.Platform().DevicePath(port);
    m_port = port;
    m_baud = baud;
    m_unopenable.reset();
    if (m_negotiator.HandshakeAt(path, baud, baud)) {
        m_log.LogLine(protocol::kConnectedLine + std::to_string(baud));
        return true;
    }
    if (m_link.LastOpenFailure()) {
        m_unopenable = m_link.LastOpenFailure();  // no other speed opens it either
        return false;
    }
    if (m_negotiator.WriteFailed()) {
        return false;
    }
    if (m_negotiator.Negotiate(port, baud) == protocol::NegotiationOutcome::Connected) {
        return true;
    }
    m_unopenable = m_negotiator.PortUnopenable();
    return false;
}

bool ModuleSession::Reconnect(Clock::time_point deadline, std::chrono::milliseconds pause) {
    m_link.ClosePort();
    const std::string path = m_link.Platform().DevicePath(m_port);
    while (Clock::now() < deadline && !m_stop()) {
        // Only a port that opens is worth the seven probes: a missing one would log each.
        // The trial device is closed again before they start.
        const bool opens = m_link.Platform().OpenExclusive(path) != nullptr;
        if (opens &&
            m_negotiator.Negotiate(m_port, m_baud) == protocol::NegotiationOutcome::Connected) {
            return true;
        }
        PauseBefore(deadline, pause, m_stop);
    }
    return false;
}

bool ModuleSession::Renegotiate(const std::string& port, std::int32_t baud) {
    m_port = port;
    m_baud = baud;
    m_link.ClosePort();
    return m_negotiator.Negotiate(port, baud) == protocol::NegotiationOutcome::Connected;
}

}  // namespace session

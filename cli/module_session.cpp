#include "cli/module_session.h"

namespace cli {

ModuleSession::ModuleSession(serial::SerialPlatform& platform, serial::LogSink& log)
    : m_log(log), m_link(platform, log), m_negotiator(m_link, log), m_commands(m_link, log) {
    m_link.SetWakeOnInput(true);
}

bool ModuleSession::Connect(const std::string& port, std::int32_t baud) {
    const std::string path = m_link.Platform().DevicePath(port);
    const std::string chosen = std::to_string(baud);
    if (m_negotiator.HandshakeAt(path, baud, baud)) {
        m_log.LogLine(protocol::kConnectedLine + chosen);
        return true;
    }
    if (m_negotiator.WriteFailed()) {
        return false;
    }
    return m_negotiator.Negotiate(port, chosen) == protocol::NegotiationOutcome::Connected;
}

}  // namespace cli

#include "session/stream_meter.h"

#include <cstdio>

#include "protocol/commands.h"

namespace session {

// Each byte takes ten bits on the line; a frame goes with its header and replies.
StreamMeter::StreamMeter(std::int32_t baud)
    : m_line_fps(baud / (10.0 * (protocol::FrameBytes + 20))) {}

void StreamMeter::Sent() {
    if (m_sent++ == 0) {
        m_first = Clock::now();
    }
    m_last = Clock::now();
}

void StreamMeter::Reconnected() {
    ++m_reconnects;
}

double StreamMeter::Fps() const {
    const double seconds = std::chrono::duration<double>(m_last - m_first).count();
    return m_sent > 1 && seconds > 0 ? (m_sent - 1) / seconds : 0;
}

std::string StreamMeter::Text(long dropped) const {
    char text[160];
    const int length =
        std::snprintf(text, sizeof text, "%ld sent, %ld dropped, %.1f fps, %.0f %% of the line",
                      m_sent, dropped, Fps(), 100 * Fps() / m_line_fps);
    if (m_reconnects > 0) {
        std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                      ", %ld reconnected", m_reconnects);
    }
    return text;
}

}  // namespace session

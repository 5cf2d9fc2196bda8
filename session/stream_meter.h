#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace session {

// Frames sent, the rate, and the share of what the line can carry at its speed.
class StreamMeter {
public:
    explicit StreamMeter(std::int32_t baud);

    void Sent();
    void Reconnected();
    long Count() const { return m_sent; }
    // Frames a second between the first frame sent and the last; 0 before the second.
    double Fps() const;
    // "N sent, N dropped, R fps, P % of the line", and the reconnects when there were any.
    std::string Text(long dropped) const;

private:
    using Clock = std::chrono::steady_clock;

    double m_line_fps;
    long m_sent = 0;
    long m_reconnects = 0;
    Clock::time_point m_first, m_last;
};

}  // namespace session

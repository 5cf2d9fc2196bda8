#include "sim/line_pacer.h"

#include <algorithm>
#include <cstdint>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// A byte on an 8N1 line is ten bit times: start bit, eight data bits, stop bit.
nanoseconds ByteTime(int baud) {
    return nanoseconds(10'000'000'000LL / std::max(baud, 1));
}

// How many bytes the line carries in `span` at `baud`; never less than one.
std::size_t BytesIn(nanoseconds span, int baud) {
    return static_cast<std::size_t>(std::max<std::int64_t>(1, span / ByteTime(baud)));
}

// Pacing slices: short enough for smooth timing, long enough not to wake up too often.
constexpr nanoseconds kReadSlice = milliseconds(5);
constexpr nanoseconds kWriteSlice = milliseconds(2);
// Back-to-back chunks keep one chain of deadlines, so oversleeping does not add up.
constexpr nanoseconds kDeadlineSlack = milliseconds(2);

}  // namespace

LinePacer::LinePacer(const ModuleOptions& options, const StopSignal& stop)
    : m_pace(options.pace), m_pace_lines(options.pace && options.pace_lines), m_stop(stop) {}

std::size_t LinePacer::ReadBudget(int host_baud, std::size_t buffer_size) const {
    return m_pace_lines ? std::min(BytesIn(kReadSlice, host_baud), buffer_size) : buffer_size;
}

// The first bytes of a payload hold the line for the whole payload's wire time. The host
// fills the pseudo-terminal's buffer meanwhile and its write waits; afterwards the rest is
// taken at once, so the host's write ends when the wire would have, and the final reply
// follows at once.
bool LinePacer::WaitForChunk(std::size_t count, int host_baud, std::size_t payload_remaining) {
    if (m_pace_lines) {
        return WaitForWire(count, host_baud);
    }
    if (!m_pace || m_payload_held || payload_remaining == 0) {
        return true;
    }
    m_payload_held = true;
    return WaitForWire(payload_remaining, host_baud);
}

void LinePacer::ChunkTaken(bool awaiting_payload) {
    m_payload_held = m_payload_held && awaiting_payload;
}

// The last byte is not seen by the host before the whole reply has had its time on the
// wire.
bool LinePacer::Send(std::string_view bytes, int baud, const Writer& write) const {
    if (!m_pace) {
        return write(bytes);
    }
    const std::size_t slice = BytesIn(kWriteSlice, baud);
    auto deadline = Clock::now();
    for (std::size_t at = 0; at < bytes.size(); at += slice) {
        const std::string_view piece = bytes.substr(at, slice);
        deadline += static_cast<std::int64_t>(piece.size()) * ByteTime(baud);
        if (!m_stop.SleepUntil(deadline) || !write(piece)) {
            return false;
        }
    }
    return true;
}

// The chunk counts as taken in only when the line would have finished carrying it.
bool LinePacer::WaitForWire(std::size_t count, int baud) {
    const auto now = Clock::now();
    const auto start = now - m_receive_deadline <= kDeadlineSlack ? m_receive_deadline : now;
    m_receive_deadline = start + static_cast<std::int64_t>(count) * ByteTime(baud);
    return m_stop.SleepUntil(m_receive_deadline);
}

}  // namespace sim

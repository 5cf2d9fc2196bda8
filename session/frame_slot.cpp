#include "session/frame_slot.h"

#include <chrono>
#include <utility>

namespace session {

FrameSlot::FrameSlot(bool keep_every_frame, StopCheck stop)
    : m_keep_every_frame(keep_every_frame),
      m_stop(stop ? std::move(stop) : StopCheck([] { return false; })) {}

void FrameSlot::Put(Frame frame, const StopCheck& stop) {
    std::unique_lock lock(m_mutex);
    if (m_keep_every_frame) {
        m_changed.wait(lock, [&] { return !m_waiting || stop(); });
    }
    m_dropped += m_waiting ? 1 : 0;
    m_waiting = std::move(frame);
    m_changed.notify_all();
}

std::optional<FrameSlot::Frame> FrameSlot::Take(std::optional<Frame>& unsent) {
    std::unique_lock lock(m_mutex);
    if (unsent) {
        std::optional<Frame> frame = std::exchange(unsent, std::nullopt);
        if (m_keep_every_frame || !m_waiting) {
            return frame;
        }
        ++m_dropped;
    }
    // The stop check is asked every so often: it has no way to wake this wait.
    while (!m_waiting && !m_ended && !m_stop()) {
        m_changed.wait_for(lock, std::chrono::milliseconds(100));
    }
    std::optional<Frame> frame = std::move(m_waiting);
    m_waiting.reset();
    m_changed.notify_all();
    return frame;
}

void FrameSlot::End() {
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

void FrameSlot::Wake() {
    m_changed.notify_all();
}

long FrameSlot::Dropped() const {
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

}  // namespace session

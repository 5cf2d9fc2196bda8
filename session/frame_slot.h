#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "session/module_session.h"

namespace session {

// Between a producer of frames and the line: one frame waiting. A new frame replaces it (a
// drop), or, when every frame must go, waits until it has been taken.
class FrameSlot {
public:
    using Frame = std::vector<std::uint8_t>;

    FrameSlot(bool keep_every_frame, StopCheck stop);

    // Leaves `frame` waiting. When every frame must go, first waits until the one before has
    // been taken, or until `stop` (the producer's own) holds.
    void Put(Frame frame, const StopCheck& stop);

    // The frame waiting, once there is one; nullopt once the input has ended and all is
    // taken, or on a stop. A frame a lost link cut off (`unsent`) comes first, unless a
    // newer one waits: then it counts as dropped, except when every frame must go.
    std::optional<Frame> Take(std::optional<Frame>& unsent);

    // No frame will be put any more.
    void End();
    // Wakes a waiting Put, so that it asks its stop again.
    void Wake();
    long Dropped() const;

private:
    const bool m_keep_every_frame;
    const StopCheck m_stop;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Frame> m_waiting;
    bool m_ended = false;
    long m_dropped = 0;
};

}  // namespace session

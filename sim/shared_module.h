#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "sim/module_options.h"
#include "sim/module_state_machine.h"
#include "sim/transcript_file.h"

namespace sim {

// The module's state behind one lock: the serving thread drives the state machine, any
// thread reads it. Every step writes its new transcript entries to the transcript file.
class SharedModule {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // What the screen shows, copied out for drawing.
    struct Screen {
        std::vector<std::uint8_t> memory;
        int color = 0;
        int brightness = 0;
        bool shown = false;  // a frame has been (or is just being) completed
    };

    // Opens the transcript file, if one is asked for; throws std::runtime_error.
    explicit SharedModule(const ModuleOptions& options);

    // The serving thread's steps.
    std::vector<ModuleAction> Feed(std::span<const std::uint8_t> bytes, int host_baud,
                                   TimePoint taken_at);
    // The line went quiet; with `payload_overdue` a frame still waiting for its payload is
    // abandoned.
    std::vector<ModuleAction> LineQuiet(bool payload_overdue, TimePoint now);
    void MarkSent(std::size_t entry, TimePoint at);
    Screen CopyScreen(bool frame_completed) const;
    // A completed frame has been drawn: it now counts as received.
    void CountFrame();
    // The module is switched off and on again (see ModuleStateMachine::PowerCycle); the
    // screen holds no frame until the next one.
    void PowerCycle(TimePoint now);

    template <typename Getter>
    auto Read(Getter getter) const {
        std::lock_guard lock(m_mutex);
        return getter(m_machine);
    }
    int FramesShown() const;
    // The screen memory after the last frame; empty before the first since power-up.
    std::vector<std::uint8_t> LastFrame() const;
    bool WaitForFrames(int count, std::chrono::milliseconds timeout) const;
    std::vector<std::uint64_t> FrameHashes() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_frames_changed;
    ModuleStateMachine m_machine;
    int m_frames_shown = 0;
    bool m_frame_on_screen = false;  // a frame was drawn since power-up
    std::vector<std::uint64_t> m_frame_hashes;
    TranscriptFile m_transcript_file;
};

}  // namespace sim

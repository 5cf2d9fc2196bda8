#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>

#include "sim/module_options.h"
#include "sim/stop_signal.h"

namespace sim {

// Makes the module take bytes in and send them out no faster than the line would carry
// them, in one of two ways (see ModuleOptions::pace_lines): a frame's payload holds the
// line for its whole wire time, or every chunk is taken at line speed. Without pace it
// never waits. Used by the serving thread only; every wait ends when `stop` is raised.
class LinePacer {
public:
    using Writer = std::function<bool(std::string_view)>;

    LinePacer(const ModuleOptions& options, const StopSignal& stop);

    // How many bytes to read off the line at once, at most `buffer_size`.
    std::size_t ReadBudget(int host_baud, std::size_t buffer_size) const;

    // Waits, after `count` bytes were read, until the line would have carried them.
    // `payload_remaining` is how many payload bytes the module still expects before it
    // takes these (0: none). False when stopping.
    bool WaitForChunk(std::size_t count, int host_baud, std::size_t payload_remaining);
    // The module has taken the chunk in; whether it still expects payload bytes.
    void ChunkTaken(bool awaiting_payload);

    // Hands `bytes` to `write` slice by slice, each when the line would have finished
    // carrying it. False when a write failed or stopping.
    bool Send(std::string_view bytes, int baud, const Writer& write) const;

private:
    bool WaitForWire(std::size_t count, int baud);

    const bool m_pace;
    const bool m_pace_lines;
    const StopSignal& m_stop;
    bool m_payload_held = false;  // this payload's wire time has been waited out
    std::chrono::steady_clock::time_point m_receive_deadline{};
};

}  // namespace sim

#include "sim/shared_module.h"

#include "sim/module_sim.h"

namespace sim {

SharedModule::SharedModule(const ModuleOptions& options)
    : m_machine(options), m_transcript_file(options.transcript_path) {}

std::vector<ModuleAction> SharedModule::Feed(std::span<const std::uint8_t> bytes, int host_baud,
                                             TimePoint taken_at) {
    std::lock_guard lock(m_mutex);
    std::vector<ModuleAction> actions = m_machine.Feed(bytes, host_baud, taken_at);
    m_transcript_file.WriteNew(m_machine.Transcript());
    return actions;
}

std::vector<ModuleAction> SharedModule::LineQuiet(bool payload_overdue, TimePoint now) {
    std::lock_guard lock(m_mutex);
    std::vector<ModuleAction> actions = m_machine.LineIdle();
    if (payload_overdue && m_machine.AwaitingPayload()) {
        m_machine.AbandonFrame(now);
    }
    m_transcript_file.WriteNew(m_machine.Transcript());
    return actions;
}

void SharedModule::MarkSent(std::size_t entry, TimePoint at) {
    std::lock_guard lock(m_mutex);
    m_machine.MarkSent(entry, at);
}

SharedModule::Screen SharedModule::CopyScreen(bool frame_completed) const {
    std::lock_guard lock(m_mutex);
    return {m_machine.Screen(), m_machine.Color(), m_machine.Brightness(),
            frame_completed || m_frame_on_screen};
}

void SharedModule::CountFrame() {
    std::lock_guard lock(m_mutex);
    ++m_frames_shown;
    m_frame_on_screen = true;
    m_frame_hashes.push_back(FrameHash(m_machine.Screen()));
    m_frames_changed.notify_all();
}

void SharedModule::PowerCycle(TimePoint now) {
    std::lock_guard lock(m_mutex);
    m_machine.PowerCycle(now);
    m_frame_on_screen = false;
    m_transcript_file.WriteNew(m_machine.Transcript());
}

int SharedModule::FramesShown() const {
    std::lock_guard lock(m_mutex);
    return m_frames_shown;
}

std::vector<std::uint8_t> SharedModule::LastFrame() const {
    std::lock_guard lock(m_mutex);
    return m_frame_on_screen ? m_machine.Screen() : std::vector<std::uint8_t>{};
}

std::vector<std::uint64_t> SharedModule::FrameHashes() const {
    std::lock_guard lock(m_mutex);
    return m_frame_hashes;
}

bool SharedModule::WaitForFrames(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_frames_changed.wait_for(lock, timeout, [&] { return m_frames_shown >= count; });
}

}  // namespace sim

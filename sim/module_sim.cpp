#include "sim/module_sim.h"

#include "sim/module_server.h"
#include "sim/port_link.h"
#include "sim/pseudo_terminal.h"
#include "sim/shared_module.h"

namespace sim {

std::uint64_t FrameHash(std::span<const std::uint8_t> bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const std::uint8_t byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ULL;
    }
    return hash;
}

// Built in this order, and taken down in the reverse: the thread stops before the link
// goes, the transcript file closes and the pseudo-terminal closes.
class PtyModule::Impl {
public:
    explicit Impl(ModuleOptions options)
        : m_options(std::move(options)),
          m_pty(m_options.start_baud),
          m_slave_path(m_pty.SlavePath()),
          m_module(m_options),
          m_link(m_options.link_path, m_slave_path),
          m_server(m_options, m_pty, m_module, m_link) {}

    const ModuleOptions m_options;
    PseudoTerminal m_pty;
    const std::string m_slave_path;
    SharedModule m_module;
    PortLink m_link;
    ModuleServer m_server;
};

PtyModule::PtyModule(ModuleOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

PtyModule::~PtyModule() = default;

const std::string& PtyModule::SlavePath() const {
    return m_impl->m_slave_path;
}

void PtyModule::Start() {
    m_impl->m_server.Start();
}

void PtyModule::Stop() {
    m_impl->m_server.Stop();
}

int PtyModule::Baud() const {
    return m_impl->m_server.Baud();
}

int PtyModule::FramesReceived() const {
    return m_impl->m_module.FramesShown();
}

std::vector<std::uint64_t> PtyModule::FrameHashes() const {
    return m_impl->m_module.FrameHashes();
}

std::vector<std::uint8_t> PtyModule::LastFrame() const {
    return m_impl->m_module.LastFrame();
}

std::vector<TranscriptEntry> PtyModule::Transcript() const {
    return m_impl->m_module.Read([](const ModuleStateMachine& m) { return m.Transcript(); });
}

std::vector<std::string> PtyModule::ReceivedLines() const {
    return m_impl->m_module.Read([](const ModuleStateMachine& m) { return m.ReceivedLines(); });
}

bool PtyModule::WaitForFrames(int count, std::chrono::milliseconds timeout) const {
    return m_impl->m_module.WaitForFrames(count, timeout);
}

}  // namespace sim

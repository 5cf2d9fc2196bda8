#include "sim/module_sim.h"

#include <mutex>

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

namespace {

// One plugging in of the port, built in this order and taken down in the reverse: the
// thread stops, the link goes, and the pseudo-terminal closes, which hangs up the host.
struct PluggedPort {
    PluggedPort(const ModuleOptions& options, SharedModule& module)
        : pty(options.start_baud),
          link(options.link_path, pty.SlavePath()),
          server(options, pty, module, link) {}

    PseudoTerminal pty;
    PortLink link;
    ModuleServer server;
};

}  // namespace

// The module outlives its ports: its records carry on from one plugging in to the next.
class PtyModule::Impl {
public:
    explicit Impl(ModuleOptions options)
        : m_options(std::move(options)),
          m_module(m_options),
          m_port(std::make_unique<PluggedPort>(m_options, m_module)),
          m_slave_path(m_port->pty.SlavePath()) {}

    // The thread stops first, so that no step of the old state straddles the reset.
    void PowerCycle() {
        if (!m_port) {
            return;  // unpowered already
        }
        m_port->server.Stop();
        m_module.PowerCycle(std::chrono::steady_clock::now());
        m_port->server.PowerUp();
        if (m_started) {
            m_port->server.Start();
        }
    }

    void Unplug() {
        if (m_port) {
            m_port.reset();
            m_module.PowerCycle(std::chrono::steady_clock::now());
        }
    }

    void Replug() {
        Unplug();
        m_port = std::make_unique<PluggedPort>(m_options, m_module);
        m_slave_path = m_port->pty.SlavePath();
        if (m_started) {
            m_port->server.Start();
        }
    }

    const ModuleOptions m_options;
    SharedModule m_module;
    mutable std::mutex m_mutex;           // guards the members below
    std::unique_ptr<PluggedPort> m_port;  // null while unplugged
    std::string m_slave_path;
    bool m_started = false;
};

PtyModule::PtyModule(ModuleOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

PtyModule::~PtyModule() = default;

std::string PtyModule::SlavePath() const {
    std::lock_guard lock(m_impl->m_mutex);
    return m_impl->m_slave_path;
}

void PtyModule::Start() {
    std::lock_guard lock(m_impl->m_mutex);
    m_impl->m_started = true;
    if (m_impl->m_port) {
        m_impl->m_port->server.Start();
    }
}

void PtyModule::Stop() {
    std::lock_guard lock(m_impl->m_mutex);
    m_impl->m_started = false;
    if (m_impl->m_port) {
        m_impl->m_port->server.Stop();
    }
}

void PtyModule::PowerCycle() {
    std::lock_guard lock(m_impl->m_mutex);
    m_impl->PowerCycle();
}

void PtyModule::Unplug() {
    std::lock_guard lock(m_impl->m_mutex);
    m_impl->Unplug();
}

void PtyModule::Replug() {
    std::lock_guard lock(m_impl->m_mutex);
    m_impl->Replug();
}

int PtyModule::Baud() const {
    std::lock_guard lock(m_impl->m_mutex);
    return m_impl->m_port ? m_impl->m_port->server.Baud() : m_impl->m_options.start_baud;
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

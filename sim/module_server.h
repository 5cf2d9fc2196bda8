#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/line_pacer.h"
#include "sim/module_options.h"
#include "sim/module_state_machine.h"
#include "sim/port_link.h"
#include "sim/pseudo_terminal.h"
#include "sim/shared_module.h"
#include "sim/stop_signal.h"

namespace sim {

// The thread that serves the module on the pseudo-terminal between Start() and Stop():
// it takes the host's bytes off the line, feeds them to the module and carries out what
// the module does, including the faults that live on the line (split replies, hanging
// up, no longer reading).
class ModuleServer {
public:
    ModuleServer(const ModuleOptions& options, PseudoTerminal& pty, SharedModule& module,
                 PortLink& link);
    ~ModuleServer();  // Stop()
    ModuleServer(const ModuleServer&) = delete;
    ModuleServer& operator=(const ModuleServer&) = delete;

    void Start();
    void Stop();
    // The module was switched off and on: the line runs at the start speed again and the
    // module reads it. Only while stopped.
    void PowerUp();

    int Baud() const { return m_line_baud; }

private:
    using Clock = std::chrono::steady_clock;

    void Serve();
    int QuietTimeoutMs() const;
    void HandleQuietLine();
    void TakeChunk();
    std::size_t ReadBudget(int host_baud) const;
    bool HangUpDue() const;
    void HangUp();

    void Execute(const std::vector<ModuleAction>& actions);
    bool HoldForAdapterLatency();
    bool SendReply(const std::string& bytes, int baud);
    bool Send(std::string_view bytes, int baud);
    bool WriteAll(std::string_view bytes);
    bool WaitWritable();
    void Redraw(bool frame_completed);

    const ModuleOptions& m_options;
    PseudoTerminal& m_pty;
    SharedModule& m_module;
    PortLink& m_link;
    StopSignal m_stop;

    // Used by the serving thread only.
    LinePacer m_pacer;
    long m_bytes_received = 0;
    Clock::time_point m_last_received = Clock::now();
    const Clock::time_point m_started = Clock::now();
    bool m_reading = true;  // false once the module has stopped reading for good

    std::atomic<int> m_line_baud;
    std::atomic<bool> m_hung_up{false};
    std::mutex m_control_mutex;  // serialises Start() and Stop()
    std::thread m_thread;
};

}  // namespace sim

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "sim/module_server.h"
#include "sim/screen_png.h"

namespace sim {

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

constexpr std::size_t kReadBufferSize = 4096;
// Quiet time after which a run of bytes at a wrong speed counts as over.
constexpr milliseconds kGarbageQuiet = milliseconds(20);
// A reply that nobody takes off the line for this long is dropped, as a real line would.
constexpr milliseconds kWriteStallLimit = milliseconds(2000);

}  // namespace

ModuleServer::ModuleServer(const ModuleOptions& options, PseudoTerminal& pty, SharedModule& module,
                           PortLink& link)
    : m_options(options),
      m_pty(pty),
      m_module(module),
      m_link(link),
      m_pacer(options, m_stop),
      m_line_baud(options.start_baud) {}

ModuleServer::~ModuleServer() {
    Stop();
}

void ModuleServer::Start() {
    std::lock_guard control(m_control_mutex);
    if (m_thread.joinable() || m_hung_up) {
        return;
    }
    m_stop.Reset();
    m_thread = std::thread([this] { Serve(); });
}

void ModuleServer::Stop() {
    std::lock_guard control(m_control_mutex);
    if (!m_thread.joinable()) {
        return;
    }
    m_stop.Raise();
    m_thread.join();
}

void ModuleServer::PowerUp() {
    std::lock_guard control(m_control_mutex);
    m_line_baud = m_options.start_baud;
    m_reading = true;
    m_pacer.ChunkTaken(false);  // no payload is under way any more
}

void ModuleServer::Serve() {
    while (!m_stop.Raised()) {
        if (HangUpDue()) {
            HangUp();
            return;
        }
        if (!m_reading) {
            m_stop.Wait();
            return;
        }
        pollfd fds[3] = {{m_pty.Master(), POLLIN, 0},
                         {m_stop.WakeFd(), POLLIN, 0},
                         {m_pty.HostWatch(), POLLIN, 0}};
        const int ready = ::poll(fds, 3, QuietTimeoutMs());
        if (m_stop.Raised()) {
            return;
        }
        m_pty.FollowHost();  // a host's open comes before its bytes
        if (ready < 0) {
            continue;  // EINTR
        }
        if (ready == 0) {
            HandleQuietLine();
        } else if (fds[0].revents & POLLIN) {
            TakeChunk();
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // No slave is open, which our own descriptor should prevent; do not spin.
            m_stop.SleepUntil(Clock::now() + milliseconds(10));
        }
    }
}

// How long the line may stay quiet before the module does something about it; -1 while
// nothing is pending (Stop() wakes the poll).
int ModuleServer::QuietTimeoutMs() const {
    const auto [garbage_pending, awaiting_payload] = m_module.Read([](const ModuleStateMachine& m) {
        return std::pair(m.GarbagePending(), m.AwaitingPayload());
    });
    int timeout = garbage_pending ? static_cast<int>(kGarbageQuiet.count()) : -1;
    if (awaiting_payload && m_options.payload_timeout_ms > 0) {
        const auto left =
            m_last_received + milliseconds(m_options.payload_timeout_ms) - Clock::now();
        const int left_ms = static_cast<int>(
            std::max<std::int64_t>(0, duration_cast<milliseconds>(left).count() + 1));
        timeout = timeout < 0 ? left_ms : std::min(timeout, left_ms);
    }
    return timeout;
}

void ModuleServer::HandleQuietLine() {
    const auto now = Clock::now();
    const bool payload_overdue =
        m_options.payload_timeout_ms > 0 &&
        now - m_last_received >= milliseconds(m_options.payload_timeout_ms);
    Execute(m_module.LineQuiet(payload_overdue, now));
}

void ModuleServer::TakeChunk() {
    // The speed is read before the bytes: they were sent at what the host had set.
    const int host_baud = m_pty.HostBaud().value_or(m_line_baud);
    std::uint8_t buffer[kReadBufferSize];
    const ssize_t got = ::read(m_pty.Master(), buffer, ReadBudget(host_baud));
    if (got <= 0) {
        if (got < 0 && errno != EAGAIN && errno != EINTR) {
            m_stop.SleepUntil(Clock::now() + milliseconds(10));
        }
        return;
    }
    const auto taken_at = Clock::now();
    const auto count = static_cast<std::size_t>(got);
    m_bytes_received += static_cast<long>(count);
    const std::size_t payload_remaining = m_module.Read(
        [](const ModuleStateMachine& m) { return m.AwaitingPayload() ? m.PayloadRemaining() : 0; });
    if (!m_pacer.WaitForChunk(count, host_baud, payload_remaining)) {
        return;
    }
    m_last_received = Clock::now();
    const std::vector<ModuleAction> actions =
        m_module.Feed(std::span(buffer, count), host_baud, taken_at);
    m_pacer.ChunkTaken(
        m_module.Read([](const ModuleStateMachine& m) { return m.AwaitingPayload(); }));
    Execute(actions);
}

std::size_t ModuleServer::ReadBudget(int host_baud) const {
    std::size_t budget = m_pacer.ReadBudget(host_baud, kReadBufferSize);
    if (m_options.hang_up_after_bytes >= 0) {
        const long left = m_options.hang_up_after_bytes - m_bytes_received;
        budget = std::min(budget, static_cast<std::size_t>(std::max(left, 1L)));
    }
    return budget;
}

bool ModuleServer::HangUpDue() const {
    return m_options.hang_up_after_bytes >= 0 && m_bytes_received >= m_options.hang_up_after_bytes;
}

void ModuleServer::HangUp() {
    m_pty.Close();
    m_link.Remove();
    m_hung_up = true;
}

void ModuleServer::Execute(const std::vector<ModuleAction>& actions) {
    for (const ModuleAction& action : actions) {
        if (m_stop.Raised() || !m_pty.IsOpen()) {
            return;
        }
        switch (action.kind) {
            case ModuleAction::Kind::Reply:
                if (SendReply(action.bytes, action.baud)) {
                    m_module.MarkSent(action.entry, Clock::now());
                }
                break;
            case ModuleAction::Kind::Noise:
                if (Send(action.bytes, action.baud)) {
                    m_module.MarkSent(action.entry, Clock::now());
                }
                break;
            case ModuleAction::Kind::ChangeSpeed:
                m_line_baud = action.baud;
                break;
            case ModuleAction::Kind::Redraw:
                Redraw(action.frame_completed);
                break;
            case ModuleAction::Kind::StopReading:
                m_reading = false;
                break;
        }
    }
}

// The adapter's timer runs on its own, so a reply waits anything up to one period.
bool ModuleServer::HoldForAdapterLatency() {
    if (m_options.adapter_latency_ms <= 0) {
        return true;
    }
    const Clock::duration period = milliseconds(m_options.adapter_latency_ms);
    const Clock::duration into_period = (Clock::now() - m_started) % period;
    return m_stop.SleepUntil(Clock::now() + (period - into_period));
}

// The reply goes out in `split_chunks` pieces with `split_gap_ms` between them.
bool ModuleServer::SendReply(const std::string& bytes, int baud) {
    if (!HoldForAdapterLatency()) {
        return false;
    }
    const std::size_t chunks =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(m_options.split_chunks, 1)), 1,
                                std::max<std::size_t>(bytes.size(), 1));
    const std::size_t chunk_size = (bytes.size() + chunks - 1) / chunks;
    for (std::size_t at = 0; at < bytes.size(); at += chunk_size) {
        if (at > 0 && !m_stop.SleepUntil(Clock::now() + milliseconds(m_options.split_gap_ms))) {
            return false;
        }
        if (!Send(std::string_view(bytes).substr(at, chunk_size), baud)) {
            return false;
        }
    }
    return true;
}

bool ModuleServer::Send(std::string_view bytes, int baud) {
    return m_pacer.Send(bytes, baud, [this](std::string_view piece) { return WriteAll(piece); });
}

bool ModuleServer::WriteAll(std::string_view bytes) {
    m_pty.FollowHost();
    if (!m_pty.HostHasPortOpen()) {
        return false;  // nobody to receive it: lost, as on a closed serial port
    }
    auto last_progress = Clock::now();
    while (!bytes.empty()) {
        const ssize_t put = ::write(m_pty.Master(), bytes.data(), bytes.size());
        if (put > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(put));
            last_progress = Clock::now();
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (Clock::now() - last_progress > kWriteStallLimit || !WaitWritable()) {
            return false;
        }
    }
    return true;
}

bool ModuleServer::WaitWritable() {
    pollfd fds[2] = {{m_pty.Master(), POLLOUT, 0}, {m_stop.WakeFd(), POLLIN, 0}};
    (void)::poll(fds, 2, 50);
    return !m_stop.Raised();
}

// A completed frame counts as received only once its screen image has been written.
void ModuleServer::Redraw(bool frame_completed) {
    const SharedModule::Screen screen = m_module.CopyScreen(frame_completed);
    if (!m_options.screen_png.empty() && screen.shown &&
        !WriteScreenPng(m_options.screen_png, screen.memory, screen.color, screen.brightness)) {
        std::fprintf(stderr, "lcdsim: cannot write %s\n", m_options.screen_png.c_str());
    }
    if (frame_completed) {
        m_module.CountFrame();
    }
}

}  // namespace sim

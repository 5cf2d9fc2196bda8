#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "sim/module_sim.h"
#include "sim/module_state_machine.h"
#include "sim/pseudo_terminal.h"
#include "sim/screen_png.h"
#include "sim/transcript_format.h"

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration_cast;
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
constexpr std::size_t kReadBufferSize = 4096;
// Quiet time after which a run of bytes at a wrong speed counts as over.
constexpr milliseconds kGarbageQuiet = milliseconds(20);
// A reply that nobody takes off the line for this long is dropped, as a real line would.
constexpr milliseconds kWriteStallLimit = milliseconds(2000);

}  // namespace

class PtyModule::Impl {
public:
    explicit Impl(ModuleOptions options)
        : m_options(std::move(options)),
          m_pty(m_options.start_baud),
          m_machine(m_options),
          m_line_baud(m_options.start_baud) {
        if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        }
        try {
            OpenTranscriptFile();
            CreateLink();
        } catch (...) {
            CloseWakePipe();
            throw;
        }
    }

    ~Impl() {
        Stop();
        RemoveLink();
        if (m_transcript_file != nullptr) {
            std::fclose(m_transcript_file);
        }
        CloseWakePipe();
    }

    const std::string& SlavePath() const { return m_slave_path; }

    void Start() {
        std::lock_guard control(m_control_mutex);
        if (m_thread.joinable() || m_hung_up) {
            return;
        }
        DrainWakePipe();
        m_stop = false;
        m_thread = std::thread([this] { Serve(); });
    }

    void Stop() {
        std::lock_guard control(m_control_mutex);
        if (!m_thread.joinable()) {
            return;
        }
        m_stop = true;
        const char wake = 1;
        (void)!::write(m_wake[1], &wake, 1);
        m_thread.join();
    }

    int Baud() const { return m_line_baud; }

    template <typename Getter>
    auto Read(Getter getter) const {
        std::lock_guard lock(m_mutex);
        return getter(m_machine);
    }

    int FramesReceived() const {
        std::lock_guard lock(m_mutex);
        return m_frames_shown;
    }

    std::vector<std::uint8_t> LastFrame() const {
        std::lock_guard lock(m_mutex);
        return m_frames_shown > 0 ? m_machine.Screen() : std::vector<std::uint8_t>{};
    }

    bool WaitForFrames(int count, milliseconds timeout) const {
        std::unique_lock lock(m_mutex);
        return m_frames_changed.wait_for(lock, timeout, [&] { return m_frames_shown >= count; });
    }

    bool HungUp() const { return m_hung_up; }

private:
    void Serve() {
        while (!m_stop) {
            if (HangUpDue()) {
                HangUp();
                return;
            }
            pollfd fds[2] = {{m_pty.Master(), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            const int ready = ::poll(fds, 2, PollTimeoutMs());
            if (m_stop) {
                return;
            }
            if (ready < 0) {
                continue;  // EINTR
            }
            if (ready == 0) {
                HandleQuietLine();
            } else if (fds[0].revents & POLLIN) {
                TakeChunk();
            } else if (fds[0].revents & (POLLHUP | POLLERR)) {
                // No slave is open, which our own descriptor should prevent; do not spin.
                SleepUntil(Clock::now() + milliseconds(10));
            }
        }
    }

    // Waits forever while nothing is pending: Stop() wakes the poll through the pipe.
    int PollTimeoutMs() const {
        std::lock_guard lock(m_mutex);
        int timeout = -1;
        if (m_machine.GarbagePending()) {
            timeout = static_cast<int>(kGarbageQuiet.count());
        }
        if (m_machine.AwaitingPayload() && m_options.payload_timeout_ms > 0) {
            const auto left =
                m_last_received + milliseconds(m_options.payload_timeout_ms) - Clock::now();
            const int left_ms = static_cast<int>(
                std::max<std::int64_t>(0, duration_cast<milliseconds>(left).count() + 1));
            timeout = timeout < 0 ? left_ms : std::min(timeout, left_ms);
        }
        return timeout;
    }

    void HandleQuietLine() {
        std::vector<ModuleAction> actions;
        {
            std::lock_guard lock(m_mutex);
            actions = m_machine.LineIdle();
            if (m_machine.AwaitingPayload() && m_options.payload_timeout_ms > 0 &&
                Clock::now() - m_last_received >= milliseconds(m_options.payload_timeout_ms)) {
                m_machine.AbandonFrame();
            }
            WriteNewTranscriptLines();
        }
        Execute(actions);
    }

    void TakeChunk() {
        // The speed is read before the bytes: they were sent at what the host had set.
        const int host_baud = m_pty.HostBaud().value_or(m_line_baud);
        std::uint8_t buffer[kReadBufferSize];
        const bool paced = PacesReceive();
        const ssize_t got = ::read(m_pty.Master(), buffer, ReadBudget(host_baud, paced));
        if (got <= 0) {
            if (got < 0 && errno != EAGAIN && errno != EINTR) {
                SleepUntil(Clock::now() + milliseconds(10));
            }
            return;
        }
        const auto count = static_cast<std::size_t>(got);
        m_bytes_received += static_cast<long>(count);
        if (paced && !WaitForWire(count, host_baud)) {
            return;
        }
        if (HoldsForPayload()) {
            m_payload_held = true;
            if (!WaitForWire(PayloadRemaining(), host_baud)) {
                return;
            }
        }
        std::vector<ModuleAction> actions;
        {
            std::lock_guard lock(m_mutex);
            m_last_received = Clock::now();
            actions = m_machine.Feed(std::span(buffer, count), host_baud);
            m_payload_held = m_payload_held && m_machine.AwaitingPayload();
            WriteNewTranscriptLines();
        }
        Execute(actions);
    }

    bool PacesReceive() const { return m_options.pace && m_options.pace_lines; }

    // The first bytes of a payload hold the line for the whole payload's wire time. The
    // host fills the pseudo-terminal's buffer meanwhile and its write waits; afterwards
    // the rest is taken at once, so the host's write ends when the wire would have, and
    // the final reply follows at once.
    bool HoldsForPayload() const {
        if (!m_options.pace || m_options.pace_lines || m_payload_held) {
            return false;
        }
        std::lock_guard lock(m_mutex);
        return m_machine.AwaitingPayload();
    }

    std::size_t PayloadRemaining() const {
        std::lock_guard lock(m_mutex);
        return m_machine.PayloadRemaining();
    }

    std::size_t ReadBudget(int host_baud, bool paced) const {
        std::size_t budget = paced ? BytesIn(kReadSlice, host_baud) : kReadBufferSize;
        budget = std::min(budget, kReadBufferSize);
        if (m_options.hang_up_after_bytes >= 0) {
            const long left = m_options.hang_up_after_bytes - m_bytes_received;
            budget = std::min(budget, static_cast<std::size_t>(std::max(left, 1L)));
        }
        return budget;
    }

    // The chunk counts as taken in only when the line would have finished carrying it.
    bool WaitForWire(std::size_t count, int host_baud) {
        const auto now = Clock::now();
        const auto start = now - m_receive_deadline <= kDeadlineSlack ? m_receive_deadline : now;
        m_receive_deadline = start + static_cast<std::int64_t>(count) * ByteTime(host_baud);
        return SleepUntil(m_receive_deadline);
    }

    bool HangUpDue() const {
        return m_options.hang_up_after_bytes >= 0 &&
               m_bytes_received >= m_options.hang_up_after_bytes;
    }

    void HangUp() {
        m_pty.Close();
        RemoveLink();
        m_hung_up = true;
    }

    void Execute(const std::vector<ModuleAction>& actions) {
        for (const ModuleAction& action : actions) {
            if (m_stop || !m_pty.IsOpen()) {
                return;
            }
            switch (action.kind) {
                case ModuleAction::Kind::Reply:
                    SendReply(action.bytes, action.baud);
                    break;
                case ModuleAction::Kind::Noise:
                    SendPaced(action.bytes, action.baud);
                    break;
                case ModuleAction::Kind::ChangeSpeed:
                    m_line_baud = action.baud;
                    break;
                case ModuleAction::Kind::Redraw:
                    Redraw(action.frame_completed);
                    break;
            }
        }
    }

    void SendReply(const std::string& bytes, int baud) {
        const std::size_t chunks =
            std::clamp<std::size_t>(static_cast<std::size_t>(std::max(m_options.split_chunks, 1)),
                                    1, std::max<std::size_t>(bytes.size(), 1));
        const std::size_t chunk_size = (bytes.size() + chunks - 1) / chunks;
        for (std::size_t at = 0; at < bytes.size(); at += chunk_size) {
            if (at > 0 && !SleepUntil(Clock::now() + milliseconds(m_options.split_gap_ms))) {
                return;
            }
            if (!SendPaced(std::string_view(bytes).substr(at, chunk_size), baud)) {
                return;
            }
        }
    }

    // Each slice goes out when the line would have finished carrying it, so the last
    // byte is not seen by the host before the whole reply has had its time on the wire.
    bool SendPaced(std::string_view bytes, int baud) {
        if (!m_options.pace) {
            return WriteAll(bytes);
        }
        const std::size_t slice = BytesIn(kWriteSlice, baud);
        auto deadline = Clock::now();
        for (std::size_t at = 0; at < bytes.size(); at += slice) {
            const std::string_view piece = bytes.substr(at, slice);
            deadline += static_cast<std::int64_t>(piece.size()) * ByteTime(baud);
            if (!SleepUntil(deadline) || !WriteAll(piece)) {
                return false;
            }
        }
        return true;
    }

    bool WriteAll(std::string_view bytes) {
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

    bool WaitWritable() {
        pollfd fds[2] = {{m_pty.Master(), POLLOUT, 0}, {m_wake[0], POLLIN, 0}};
        (void)::poll(fds, 2, 50);
        return !m_stop;
    }

    // Sleeps until `deadline` unless Stop() comes first; false when stopping.
    bool SleepUntil(Clock::time_point deadline) {
        while (!m_stop) {
            const auto left = deadline - Clock::now();
            if (left <= nanoseconds::zero()) {
                return true;
            }
            const auto whole = duration_cast<std::chrono::seconds>(left);
            const timespec wait{static_cast<time_t>(whole.count()),
                                static_cast<long>((left - whole).count())};
            pollfd wake{m_wake[0], POLLIN, 0};
            (void)::ppoll(&wake, 1, &wait, nullptr);
        }
        return false;
    }

    void Redraw(bool frame_completed) {
        std::vector<std::uint8_t> screen;
        int color = 0;
        int brightness = 0;
        bool shown = false;
        {
            std::lock_guard lock(m_mutex);
            shown = frame_completed || m_frames_shown > 0;
            screen = m_machine.Screen();
            color = m_machine.Color();
            brightness = m_machine.Brightness();
        }
        if (!m_options.screen_png.empty() && shown &&
            !WriteScreenPng(m_options.screen_png, screen, color, brightness)) {
            std::fprintf(stderr, "lcdsim: cannot write %s\n", m_options.screen_png.c_str());
        }
        if (frame_completed) {
            std::lock_guard lock(m_mutex);
            ++m_frames_shown;
            m_frames_changed.notify_all();
        }
    }

    void OpenTranscriptFile() {
        if (m_options.transcript_path.empty()) {
            return;
        }
        m_transcript_file = std::fopen(m_options.transcript_path.c_str(), "a");
        if (m_transcript_file == nullptr) {
            throw std::runtime_error("cannot open transcript " + m_options.transcript_path + ": " +
                                     std::strerror(errno));
        }
    }

    // Called with m_mutex held.
    void WriteNewTranscriptLines() {
        const auto& transcript = m_machine.Transcript();
        if (m_transcript_file != nullptr) {
            for (std::size_t i = m_transcript_written; i < transcript.size(); ++i) {
                std::fprintf(m_transcript_file, "%s\n",
                             FormatTranscriptLine(transcript[i]).c_str());
            }
            std::fflush(m_transcript_file);
        }
        m_transcript_written = transcript.size();
    }

    // An existing symlink is taken over (a leftover from an earlier run); anything else
    // at that path is left alone.
    void CreateLink() {
        if (m_options.link_path.empty()) {
            return;
        }
        struct stat existing {};
        if (::lstat(m_options.link_path.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) {
            ::unlink(m_options.link_path.c_str());
        }
        if (::symlink(m_slave_path.c_str(), m_options.link_path.c_str()) != 0) {
            throw std::runtime_error("cannot create link " + m_options.link_path + ": " +
                                     std::strerror(errno));
        }
        m_link_created = true;
    }

    // Only our own link goes: another instance may have taken the path over meanwhile.
    void RemoveLink() {
        if (!m_link_created) {
            return;
        }
        m_link_created = false;
        char target[256];
        const ssize_t length = ::readlink(m_options.link_path.c_str(), target, sizeof target);
        if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == m_slave_path) {
            ::unlink(m_options.link_path.c_str());
        }
    }

    void DrainWakePipe() {
        char sink[64];
        while (::read(m_wake[0], sink, sizeof sink) > 0) {
        }
    }

    void CloseWakePipe() {
        for (int& fd : m_wake) {
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
        }
    }

    const ModuleOptions m_options;
    PseudoTerminal m_pty;
    const std::string m_slave_path = m_pty.SlavePath();

    mutable std::mutex m_mutex;  // guards the machine and the frame count
    mutable std::condition_variable m_frames_changed;
    ModuleStateMachine m_machine;
    int m_frames_shown = 0;
    Clock::time_point m_last_received = Clock::now();
    std::size_t m_transcript_written = 0;
    std::FILE* m_transcript_file = nullptr;

    // Used by the serving thread only.
    long m_bytes_received = 0;
    bool m_payload_held = false;  // this payload's wire time has been waited out
    Clock::time_point m_receive_deadline{};

    std::atomic<int> m_line_baud;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hung_up{false};
    bool m_link_created = false;
    int m_wake[2] = {-1, -1};
    std::mutex m_control_mutex;  // serialises Start() and Stop()
    std::thread m_thread;
};

PtyModule::PtyModule(ModuleOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

PtyModule::~PtyModule() = default;

const std::string& PtyModule::SlavePath() const {
    return m_impl->SlavePath();
}
void PtyModule::Start() {
    m_impl->Start();
}
void PtyModule::Stop() {
    m_impl->Stop();
}
int PtyModule::Baud() const {
    return m_impl->Baud();
}
int PtyModule::Color() const {
    return m_impl->Read([](const ModuleStateMachine& m) { return m.Color(); });
}
int PtyModule::Brightness() const {
    return m_impl->Read([](const ModuleStateMachine& m) { return m.Brightness(); });
}
int PtyModule::LcdModel() const {
    return m_impl->Read([](const ModuleStateMachine& m) { return m.LcdModel(); });
}
int PtyModule::FramesReceived() const {
    return m_impl->FramesReceived();
}
std::vector<std::uint8_t> PtyModule::LastFrame() const {
    return m_impl->LastFrame();
}
std::vector<TranscriptEntry> PtyModule::Transcript() const {
    return m_impl->Read([](const ModuleStateMachine& m) { return m.Transcript(); });
}
std::vector<std::string> PtyModule::ReceivedLines() const {
    return m_impl->Read([](const ModuleStateMachine& m) { return m.ReceivedLines(); });
}
bool PtyModule::WaitForFrames(int count, std::chrono::milliseconds timeout) const {
    return m_impl->WaitForFrames(count, timeout);
}
bool PtyModule::HungUp() const {
    return m_impl->HungUp();
}

}  // namespace sim

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "cli/commands.h"
#include "cli/screen_frames.h"
#include "cli/terminal.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;
using Frame = std::vector<std::uint8_t>;
constexpr int kSide = protocol::kScreenWidth;

class SilentLog final : public serial::LogSink {
public:
    void LogLine(std::string_view) override {}
    void LogReply(std::string_view) override {}
};

// Between the reader and the line: one frame waiting. A new frame replaces it (a drop),
// or, with no dropping, waits until it has been taken.
class FrameSlot {
public:
    explicit FrameSlot(bool keep_every_frame) : m_keep_every_frame(keep_every_frame) {}

    void Put(Frame frame, const std::atomic<bool>& stop) {
        std::unique_lock lock(m_mutex);
        if (m_keep_every_frame) {
            m_changed.wait(lock, [&] { return !m_waiting || stop; });
        }
        m_dropped += m_waiting ? 1 : 0;
        m_waiting = std::move(frame);
        m_changed.notify_all();
    }

    // The frame waiting, once there is one; nullopt once the input has ended and all is
    // taken, or when interrupted. A frame a lost link cut off (`unsent`) comes first, unless
    // a newer one waits: then it counts as dropped, except when every frame must go.
    std::optional<Frame> Take(std::optional<Frame>& unsent) {
        std::unique_lock lock(m_mutex);
        if (unsent) {
            std::optional<Frame> frame = std::exchange(unsent, std::nullopt);
            if (m_keep_every_frame || !m_waiting) {
                return frame;
            }
            ++m_dropped;
        }
        while (!m_waiting && !m_ended && !Interrupted()) {
            m_changed.wait_for(lock, std::chrono::milliseconds(100));
        }
        std::optional<Frame> frame = std::move(m_waiting);
        m_waiting.reset();
        m_changed.notify_all();
        return frame;
    }

    void End() {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }

    void Wake() { m_changed.notify_all(); }
    long Dropped() const {
        std::lock_guard lock(m_mutex);
        return m_dropped;
    }

private:
    const bool m_keep_every_frame;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Frame> m_waiting;
    bool m_ended = false;
    long m_dropped = 0;
};

// Reads raw gray frames and turns each into the screen's frame while the line carries the
// one before.
class FrameReader {
public:
    FrameReader(const Options& options, FrameSlot& slot) : m_options(options), m_slot(slot) {
        m_thread = std::thread([this] { Run(); });
    }
    ~FrameReader() {
        m_stop = true;
        m_slot.Wake();
        m_thread.join();
    }
    // Bytes of a last frame that was cut off; 0 when the input ended cleanly.
    std::size_t PartialBytes() const { return m_partial; }

private:
    void Run() {
        const std::size_t frame_bytes =
            static_cast<std::size_t>(m_options.width) * static_cast<std::size_t>(m_options.height);
        std::vector<std::uint8_t> gray(frame_bytes);
        while (!m_stop) {
            const std::size_t got = ReadInput(gray.data(), frame_bytes, m_stop);
            if (got < frame_bytes) {
                m_partial = m_stop ? 0 : got;
                break;
            }
            m_slot.Put(Convert(gray), m_stop);
        }
        m_slot.End();
    }

    Frame Convert(const std::vector<std::uint8_t>& gray) {
        Frame frame(protocol::FrameBytes);
        imaging::LumaPlane lumas{gray.data(), m_options.width, m_options.height,
                                 static_cast<std::size_t>(m_options.width)};
        if (m_options.width != kSide || m_options.height != kSide) {
            lumas = imaging::FitGrayToScreen(lumas, m_options.picture.fit, m_fitted);
        }
        FrameFromLumas(lumas, m_options.picture, frame, m_silent);  // a mean per frame is noise
        return frame;
    }

    const Options& m_options;
    FrameSlot& m_slot;
    SilentLog m_silent;
    std::vector<std::uint8_t> m_fitted;  // the fitted grays, kept between frames
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_partial{0};
    std::thread m_thread;
};

// Frames sent, the rate, and the share of what the line can carry at its speed.
class StreamMeter {
public:
    explicit StreamMeter(std::int32_t baud)
        : m_line_fps(baud / (10.0 * (protocol::FrameBytes + 20))) {}
    void Sent() {
        if (m_sent++ == 0)
            m_first = Clock::now();
        m_last = Clock::now();
    }
    long Count() const { return m_sent; }
    double Fps() const {
        const double seconds = std::chrono::duration<double>(m_last - m_first).count();
        return m_sent > 1 && seconds > 0 ? (m_sent - 1) / seconds : 0;
    }
    void Reconnected() { ++m_reconnects; }
    std::string Text(long dropped) const {
        char text[160];
        const int length =
            std::snprintf(text, sizeof text, "%ld sent, %ld dropped, %.1f fps, %.0f %% of the line",
                          m_sent, dropped, Fps(), 100 * Fps() / m_line_fps);
        if (m_reconnects > 0) {
            std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                          ", %ld reconnected", m_reconnects);
        }
        return text;
    }

private:
    double m_line_fps;
    long m_sent = 0;
    long m_reconnects = 0;
    Clock::time_point m_first, m_last;
};

// Waits out the rate cap, looking up for Ctrl-C.
void WaitForSlot(Clock::time_point due) {
    while (Clock::now() < due && !Interrupted()) {
        std::this_thread::sleep_for(
            std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(50)));
    }
}

}  // namespace

int RunStream(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform) {
    ModuleSession session(platform, log);
    if (const int status = OpenLink(options, log, session); status != kDone) {
        return status;
    }
    log.CountRoutineReplies(true);
    FrameSlot slot(options.no_drop);
    StreamMeter meter(options.baud);
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.fps > 0 ? 1 / options.fps : 0));
    int status = kDone;
    std::size_t partial = 0;
    long unanswered = 0;  // frames sent that got no final reply
    {
        FrameReader reader(options, slot);
        Clock::time_point next_slot = Clock::now();
        auto shown = Clock::now();
        std::optional<Frame> unsent;
        while (options.count == 0 || meter.Count() < options.count) {
            std::optional<Frame> frame = slot.Take(unsent);
            if (!frame || Interrupted())
                break;
            WaitForSlot(next_slot);
            next_slot = Clock::now() + interval;
            if (!session.Commands().ExchangeFrame(buffer, [&](std::span<std::uint8_t> out) {
                    std::ranges::copy(*frame, out.begin());
                })) {
                if (status = AwaitLink(options, log, session); status != kDone)
                    break;
                meter.Reconnected();
                unsent = std::move(frame);
                continue;
            }
            meter.Sent();
            unanswered += session.Commands().LastReplyMissing() && !Interrupted() ? 1 : 0;
            if (Clock::now() - shown > std::chrono::milliseconds(250)) {
                log.Status(meter.Text(slot.Dropped()));
                shown = Clock::now();
            }
        }
        partial = status == kDone && !Interrupted() ? reader.PartialBytes() : 0;
    }
    log.EndStatus();
    if (!log.Quiet()) {
        std::fprintf(stderr, "lcdctl: %s; %ld routine replies, not shown\n",
                     meter.Text(slot.Dropped()).c_str(), log.RoutineReplies());
    }
    if (unanswered > 0) {
        PrintError(log, "the module did not answer " + std::to_string(unanswered) + " of " +
                            std::to_string(meter.Count()) + " frames");
    }
    if (partial > 0) {
        PrintError(log, "the input ended inside a frame (" + std::to_string(partial) + " of " +
                            std::to_string(options.width * options.height) + " bytes); not sent");
        return kBadInput;
    }
    if (status != kDone || Interrupted()) {
        return status == kDone ? kInterrupted : status;
    }
    return unanswered > 0 ? kNoAnswer : kDone;
}

}  // namespace cli

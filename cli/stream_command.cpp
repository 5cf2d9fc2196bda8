#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/hub_route.h"
#include "cli/terminal.h"
#include "imaging/frame_pipeline.h"
#include "session/frame_slot.h"
#include "session/stream_meter.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;
using session::FrameSlot;
using Frame = FrameSlot::Frame;

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
            m_slot.Put(Convert(gray), [this] { return m_stop.load(); });
        }
        m_slot.End();
    }

    Frame Convert(const std::vector<std::uint8_t>& gray) {
        Frame frame(protocol::FrameBytes);
        // A mean per frame is noise: it is not logged.
        imaging::FrameFromGray(gray, m_options.width, m_options.height, m_options.picture, frame,
                               m_fitted);
        return frame;
    }

    const Options& m_options;
    FrameSlot& m_slot;
    std::vector<std::uint8_t> m_fitted;  // the fitted grays, kept between frames
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_partial{0};
    std::thread m_thread;
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
    session::ModuleSession session(platform, log, Interrupted);
    HubStream hub(options, log, options.hub);
    const bool through_hub = !options.hub.empty();
    if (const int status = through_hub ? hub.Open() : OpenLink(options, log, session);
        status != kDone) {
        return status;
    }
    log.CountRoutineReplies(true);
    FrameSlot slot(options.no_drop, Interrupted);
    session::StreamMeter meter(options.baud);
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
            if (through_hub) {  // the hub answers at once; the module's pace is its own
                if (!hub.Send(*frame)) {
                    status = kNoLink;
                    break;
                }
                meter.Sent();
                continue;
            }
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

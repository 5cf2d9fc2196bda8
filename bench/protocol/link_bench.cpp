// The host's own share of the link's time, against the simulated module on a pty with its
// line pacing on: whatever a handshake or a frame costs beyond the wire is the host's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "app/frame_actions.h"
#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "serial/serial_link.h"
#include "sim/module_sim.h"

namespace {

using Clock = std::chrono::steady_clock;

class NullLog : public serial::LogSink {
public:
    void LogLine(std::string_view) override {}
    void LogReply(std::string_view bytes) override { last_reply = bytes; }
    std::string last_reply;
};

// The native platform, timing the gap between the last line feed read and the start of a
// payload write: the host's turnaround.
class TimingDevice : public serial::SerialDevice {
public:
    TimingDevice(std::unique_ptr<serial::SerialDevice> inner, Clock::duration& turnaround)
        : m_inner(std::move(inner)), m_turnaround(turnaround) {}
    bool ApplyLineSettings(std::int32_t baud) override { return m_inner->ApplyLineSettings(baud); }
    std::optional<std::size_t> BytesWaiting() override { return m_inner->BytesWaiting(); }
    std::optional<std::size_t> Read(std::uint8_t* dst, std::size_t max) override {
        const auto got = m_inner->Read(dst, max);
        if (got && std::memchr(dst, '\n', *got) != nullptr) {
            m_line_feed_read = Clock::now();
        }
        return got;
    }
    serial::WriteResult Write(const std::uint8_t* src, std::size_t count,
                              std::chrono::milliseconds timeout) override {
        if (count == protocol::FrameBytes) {
            m_turnaround = Clock::now() - m_line_feed_read;
        }
        return m_inner->Write(src, count, timeout);
    }
    void WaitForInput(std::chrono::microseconds timeout) override {
        m_inner->WaitForInput(timeout);
    }

private:
    std::unique_ptr<serial::SerialDevice> m_inner;
    Clock::duration& m_turnaround;
    Clock::time_point m_line_feed_read;
};

class TimingPlatform : public serial::SerialPlatform {
public:
    std::unique_ptr<serial::SerialDevice> OpenExclusive(const std::string& path,
                                                        serial::OpenFailure* why) override {
        auto device = m_native->OpenExclusive(path, why);
        if (!device)
            return nullptr;
        return std::make_unique<TimingDevice>(std::move(device), turnaround);
    }
    void SleepAboutOneMs() override { m_native->SleepAboutOneMs(); }
    std::string DevicePath(const std::string& name) const override {
        return m_native->DevicePath(name);
    }
    std::vector<std::string> PortCandidates() const override { return {}; }
    Clock::duration turnaround{};

private:
    std::unique_ptr<serial::SerialPlatform> m_native = serial::MakeNativeSerialPlatform();
};

double WireSeconds(std::size_t bytes, int baud) {
    return bytes * 10.0 / baud;
}

// A paced module at `baud` and the host's link to it, with the serial calls timed.
struct HostAndModule {
    explicit HostAndModule(int baud) : module(Options(baud)) { module.Start(); }
    static sim::ModuleOptions Options(int baud) {
        sim::ModuleOptions options;
        options.start_baud = baud;
        return options;
    }
    sim::PtyModule module;
    TimingPlatform platform;
    NullLog log;
    serial::SerialLink link{platform, log};
};

// One hello/yes exchange at the module's own speed: open, hello, reply.
void BM_Handshake(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    HostAndModule host(baud);
    protocol::LinkNegotiator negotiator(host.link, host.log);
    // Command lines reach the module at once over a pty; only the reply is paced.
    const std::string reply = "yes, current baudrate is: " + std::to_string(baud) + "\n";
    const double wire = WireSeconds(reply.size(), baud);
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!negotiator.HandshakeAt(host.module.SlavePath(), baud, baud)) {
            state.SkipWithError("no answer");
            break;
        }
        total += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["reply_wire_ms"] = wire * 1e3;
    state.counters["host_overhead_ms"] = (total / state.iterations() - wire) * 1e3;
}
BENCHMARK(BM_Handshake)
    ->Arg(2400)
    ->Arg(115200)
    ->Arg(921600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

// From the header reply's line feed arriving to the first payload byte leaving.
template <typename Action>
void MeasureTurnaround(benchmark::State& state, Action action) {
    HostAndModule host(921600);
    protocol::ModuleCommands commands(host.link, host.log);
    panel::FrameActions frames(commands, host.log);
    if (!host.link.OpenPort(host.module.SlavePath(), 921600)) {
        state.SkipWithError("cannot open the module's port");
        return;
    }
    double worst = 0;
    double total = 0;
    for (auto _ : state) {
        action(frames);
        if (host.log.last_reply.rfind("ok, frame", 0) != 0) {
            state.SkipWithError("the frame's final reply was missed");
            break;
        }
        const double turnaround = std::chrono::duration<double>(host.platform.turnaround).count();
        total += turnaround;
        worst = std::max(worst, turnaround);
    }
    state.counters["turnaround_ms"] = total / state.iterations() * 1e3;
    state.counters["worst_ms"] = worst * 1e3;
}

// The panel renders every frame into its preview before the payload goes out.
void ShowPreview(std::span<const std::uint8_t> frame) {
    benchmark::DoNotOptimize(imaging::HalfScalePreviewOf(frame));
}

void BM_TurnaroundPattern(benchmark::State& state) {
    MeasureTurnaround(state,
                      [](panel::FrameActions& frames) { frames.SendFill(0x0F, ShowPreview); });
}
BENCHMARK(BM_TurnaroundPattern)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// The picture is already decoded: the action copies its bitmap, as for a decoded JPEG. The
// automatic threshold, and Floyd–Steinberg as the panel's menu offers it.
void BM_TurnaroundPicture(benchmark::State& state, imaging::Binarization binarization) {
    imaging::Bitmap decoded(480, 480, imaging::PixelFormat::Bgr24);
    for (int y = 0; y < 480; ++y)
        for (std::size_t i = 0; i < decoded.Stride(); ++i)
            decoded.Row(y)[i] = static_cast<std::uint8_t>(i * 7 + y);
    MeasureTurnaround(state, [&](panel::FrameActions& frames) {
        frames.SendPicture([&](imaging::Bitmap& target) { target = decoded; }, binarization,
                           ShowPreview);
    });
}
BENCHMARK_CAPTURE(BM_TurnaroundPicture, threshold, imaging::Binarization{})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_TurnaroundPicture, floyd,
                  imaging::Binarization{0, imaging::DitherMethod::FloydSteinberg})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();

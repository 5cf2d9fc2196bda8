// lcdctl streaming to the simulated module, measured from the module's side of the line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "session/module_session.h"
#include "sim/module_sim.h"

namespace {

using Clock = std::chrono::steady_clock;
using Entry = sim::TranscriptEntry;
constexpr double kFrameWireBits = 10.0 * (20 + 28800);  // header and payload

class NullLog : public serial::LogSink {
public:
    void LogLine(std::string_view) override {}
    void LogReply(std::string_view) override {}
};

sim::ModuleOptions Module(int baud, bool pace, int adapter_latency_ms = 0) {
    sim::ModuleOptions options;
    options.start_baud = baud;
    options.pace = pace;
    options.adapter_latency_ms = adapter_latency_ms;
    return options;
}

// A gradient, so that dithering has work to do in every frame.
std::string GrayFrame(int shift) {
    std::string gray(480 * 480, '\0');
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 480; ++x) gray[y * 480 + x] = static_cast<char>((x + y + shift) / 4);
    return gray;
}

// Streams `frames` distinct frames with --no-drop, so that one always waits; the child's
// processor time goes to `cpu_seconds`.
bool Stream(sim::PtyModule& module, int baud, int frames, const std::vector<std::string>& extra,
            double& cpu_seconds) {
    std::vector<std::string> argv = {LCDCTL_PATH,        "-q",       "-p",
                                     module.SlavePath(), "-b",       std::to_string(baud),
                                     "stream",           "--no-drop"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    bench_support::ChildProcess lcdctl(argv);
    for (int i = 0; i < frames; ++i) {
        if (!lcdctl.Write(GrayFrame(i)))
            return false;
    }
    lcdctl.CloseInput();
    const bool done = lcdctl.Wait(std::chrono::seconds(120)) == 0;
    cpu_seconds = lcdctl.CpuSeconds();
    return done && module.FramesReceived() == frames;
}

std::vector<const Entry*> Entries(const std::vector<Entry>& transcript, Entry::Kind kind,
                                  Entry::From from) {
    std::vector<const Entry*> found;
    for (const Entry& e : transcript)
        if (e.kind == kind && e.from == from)
            found.push_back(&e);
    return found;
}

double Ms(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

// Paced module: frames a second as a share of what the line can carry, and lcdctl's own
// processor time over the stream's length.
void BM_StreamRate(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    const int latency_ms = static_cast<int>(state.range(1));
    const int frames = baud >= 2000000 ? 120 : 30;
    for (auto _ : state) {
        sim::PtyModule module(Module(baud, true, latency_ms));
        module.Start();
        double cpu = 0;
        const auto start = Clock::now();
        if (!Stream(module, baud, frames, {"--threshold", "128"}, cpu)) {
            state.SkipWithError("the stream did not arrive whole");
            return;
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const auto replies = Entries(module.Transcript(), Entry::Kind::Reply, Entry::From::Module);
        // From the first frame's final reply to the last's: frames - 1 whole frames.
        const double seconds =
            std::chrono::duration<double>(replies.back()->timestamp - replies[2]->timestamp)
                .count();
        const double fps = (frames - 1) / seconds;
        state.counters["fps"] = fps;
        state.counters["line_share_pct"] = 100 * fps / (baud / kFrameWireBits);
        state.counters["cpu_pct_of_one_core"] = 100 * cpu / wall;
    }
}
// The second argument is a USB adapter's latency timer in ms: 0 for a built-in port, 16 for
// an FTDI adapter's default, 1 for the low latency the serial layer asks for.
BENCHMARK(BM_StreamRate)
    ->ArgNames({"baud", "latency_ms"})
    ->Args({921600, 0})
    ->Args({5000000, 0})
    ->Args({5000000, 16})
    ->Args({5000000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Unpaced module: the host's time per frame, from the module's final reply to the next
// header, plus from the header's reply to the first payload byte. Median of 100 frames.
void BM_HostTimePerFrame(benchmark::State& state, std::vector<std::string> binarization) {
    for (auto _ : state) {
        sim::PtyModule module(Module(921600, false));
        module.Start();
        double cpu = 0;
        if (!Stream(module, 921600, 101, binarization, cpu)) {
            state.SkipWithError("the stream did not arrive whole");
            return;
        }
        const auto transcript = module.Transcript();
        const auto headers = Entries(transcript, Entry::Kind::Line, Entry::From::Host);
        const auto payloads = Entries(transcript, Entry::Kind::Payload, Entry::From::Host);
        const auto replies = Entries(transcript, Entry::Kind::Reply, Entry::From::Module);
        // Replies: one to the hello, then two a frame.
        std::vector<double> per_frame;
        for (std::size_t f = 1; f < payloads.size(); ++f) {
            const Entry* header_reply = replies[1 + 2 * f];
            const Entry* last_final = replies[2 * f];
            per_frame.push_back(Ms(headers[1 + f]->timestamp - last_final->timestamp) +
                                Ms(payloads[f]->timestamp - header_reply->timestamp));
        }
        std::nth_element(per_frame.begin(), per_frame.begin() + per_frame.size() / 2,
                         per_frame.end());
        state.counters["median_ms"] = per_frame[per_frame.size() / 2];
        state.counters["worst_ms"] = *std::max_element(per_frame.begin(), per_frame.end());
    }
}
BENCHMARK_CAPTURE(BM_HostTimePerFrame, threshold, {"--threshold", "128"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_HostTimePerFrame, floyd, {"--dither", "floyd"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Connecting to a module an earlier call left at 921600: one hello, timed in the process.
void BM_ConnectAtSpeed(benchmark::State& state) {
    sim::PtyModule module(Module(921600, true));
    module.Start();
    const auto platform = serial::MakeNativeSerialPlatform();
    NullLog log;
    for (auto _ : state) {
        session::ModuleSession session(*platform, log, [] { return false; });
        if (!session.Connect(module.SlavePath(), 921600)) {
            state.SkipWithError("no link");
            return;
        }
    }
}
BENCHMARK(BM_ConnectAtSpeed)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "imaging/dither.h"

namespace {

constexpr int kSide = 480;

// A photograph-like gray picture: light from the top, a soft bright disc and some grain.
const std::vector<std::uint8_t>& TestGray() {
    static const std::vector<std::uint8_t> pixels = [] {
        std::vector<std::uint8_t> gray(kSide * kSide);
        std::mt19937 rng(11);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const int disc = (x - 300) * (x - 300) + (y - 180) * (y - 180);
                const int level = 40 + y * 150 / (kSide - 1) + x / 8 +
                                  std::max(0, 14400 - disc) / 160 + static_cast<int>(rng() % 13) -
                                  6;
                gray[y * kSide + x] = static_cast<std::uint8_t>(std::clamp(level, 0, 255));
            }
        }
        return gray;
    }();
    return pixels;
}

void BM_Dither(benchmark::State& state, imaging::DitherMethod method) {
    const imaging::LumaPlane plane{TestGray().data(), kSide, kSide, kSide};
    std::vector<std::uint8_t> frame(kSide / 8 * kSide);
    for (auto _ : state) {
        imaging::Dither(plane, frame, method);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK_CAPTURE(BM_Dither, floyd_steinberg, imaging::DitherMethod::FloydSteinberg)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Dither, atkinson, imaging::DitherMethod::Atkinson)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Dither, bayer8, imaging::DitherMethod::Bayer8)->Unit(benchmark::kMicrosecond);

// The anchor: Pillow's Floyd-Steinberg, Image.convert("1"), on the same pixels, timed by
// Python itself so that the interpreter's start does not count. Per round of 100: seconds a
// conversion by the wall clock, then by the process's CPU time, which a busy machine
// inflates less.
constexpr char kPillowScript[] = R"(import sys, time
from PIL import Image
picture = Image.open(sys.argv[1])
picture.load()
assert picture.mode == "L"
picture.convert("1")
for _ in range(int(sys.argv[2])):
    start, start_cpu = time.perf_counter(), time.process_time()
    for _ in range(100):
        picture.convert("1")
    print((time.perf_counter() - start) / 100, (time.process_time() - start_cpu) / 100)
)";

struct RoundTime {
    double wall;
    double cpu;
};

std::vector<RoundTime> PillowRoundTimes(int rounds) {
    const std::string stem = "dither_bench_" + std::to_string(std::random_device{}());
    const auto dir = std::filesystem::temp_directory_path();
    const auto picture = dir / (stem + ".pgm");
    const auto script = dir / (stem + ".py");
    const auto result = dir / (stem + ".txt");
    {
        std::ofstream pgm(picture, std::ios::binary);
        pgm << "P5\n" << kSide << ' ' << kSide << "\n255\n";
        pgm.write(reinterpret_cast<const char*>(TestGray().data()), kSide * kSide);
        std::ofstream(script) << kPillowScript;
    }
    // Debian's interpreter, which python3-pil serves; the one on PATH may lack it.
    const std::string command = "timeout 120 /usr/bin/python3 " + script.string() + ' ' +
                                picture.string() + ' ' + std::to_string(rounds) + " > " +
                                result.string() + " 2>/dev/null";
    std::vector<RoundTime> times;
    if (std::system(command.c_str()) == 0) {
        std::ifstream lines(result);
        for (RoundTime round; lines >> round.wall >> round.cpu;) times.push_back(round);
    }
    for (const auto& file : {picture, script, result}) std::filesystem::remove(file);
    return times;
}

void BM_PillowFloydSteinberg(benchmark::State& state) {
    const std::vector<RoundTime> times = PillowRoundTimes(static_cast<int>(state.max_iterations));
    if (times.size() != static_cast<std::size_t>(state.max_iterations)) {
        state.SkipWithError("Pillow anchor skipped: needs /usr/bin/python3 with python3-pil");
        return;
    }
    std::size_t round = 0;
    double cpu = 0;
    for (auto _ : state) {
        state.SetIterationTime(times[round].wall);
        cpu += times[round++].cpu;
    }
    state.counters["cpu_us"] = cpu / static_cast<double>(times.size()) * 1e6;
}
BENCHMARK(BM_PillowFloydSteinberg)->UseManualTime()->Iterations(5)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Pages: the time to draw each example page with live values, and how many frames the clock
// page gives in ten minutes of a clock that is passed in (the goal: 10 or 11, one a minute).
#include <benchmark/benchmark.h>

#include "pages/page_deck.h"
#include "pages/page_drawing.h"

namespace {

using namespace std::chrono_literals;

const char* const kExamples[] = {"system", "clock", "build_status", "chinese"};

pages::PageFile Example(const std::string& name) {
    auto read =
        pages::ReadPageFile(std::string(PAGES_DIR) + "/" + name + ".toml", pages::Trust::Own);
    if (const std::string* error = std::get_if<std::string>(&read))
        throw std::runtime_error(*error);
    return std::get<pages::PageFile>(std::move(read));
}

void BM_DrawExamplePage(benchmark::State& state) {
    const pages::PageFile file = Example(kExamples[state.range(0)]);
    state.SetLabel(kExamples[state.range(0)]);
    pages::FontLibrary fonts(pages::FontLibrary::SystemFolders());
    pages::ValueBoard values("/", [](const std::string&) {});
    values.Use(file.values, file.pages);
    values.Set("build.state", "passing");
    values.Set("build.name", "app #1234");
    values.Refresh(pages::ValueBoard::Clock::now(), std::chrono::system_clock::now(), true);
    pages::DrawInputs inputs{values.Values(), values.Samples(), fonts, nullptr};
    pages::DrawPage(file.pages.front(), inputs);  // the glyphs are cached as a running hub has them
    for (auto _ : state) {
        benchmark::DoNotOptimize(pages::DrawPage(file.pages.front(), inputs).Frame());
    }
}
BENCHMARK(BM_DrawExamplePage)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The deck advanced each time a value is due, as the hub's page thread does, from half a
// minute past a minute.
void BM_ClockFramesInTenMinutes(benchmark::State& state) {
    const pages::PageFile file = Example("clock");
    pages::FontLibrary fonts(pages::FontLibrary::SystemFolders());
    for (auto _ : state) {
        pages::PageDeck deck("/", fonts, [](const std::string&) {});
        deck.Replace("clock", file);
        const pages::PageDeck::Clock::time_point start{};
        const auto wall_start =
            std::chrono::floor<std::chrono::minutes>(std::chrono::system_clock::now()) + 30s;
        int frames = 0;
        int wakes = 0;
        for (auto now = start; now < start + 10min; ++wakes) {
            frames += static_cast<int>(deck.Advance(now, wall_start + (now - start)).size());
            now = deck.NextDue().value_or(start + 10min);
        }
        state.counters["frames"] = frames;
        state.counters["wakes"] = wakes;
    }
}
BENCHMARK(BM_ClockFramesInTenMinutes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

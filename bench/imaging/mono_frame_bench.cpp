#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/mono_frame.h"

#ifdef PANEL_HAVE_QT
#include <QImage>
#endif

namespace {

class NullLog : public serial::LogSink {
public:
    void LogLine(std::string_view) override {}
    void LogReply(std::string_view) override {}
};

// Smooth gradients with noise: a photograph-like picture, not a flat one.
imaging::Bitmap TestPicture() {
    imaging::Bitmap picture(480, 480, imaging::PixelFormat::Bgr24);
    std::mt19937 rng(7);
    for (int y = 0; y < 480; ++y) {
        std::uint8_t* row = picture.Row(y);
        for (int x = 0; x < 480; ++x) {
            row[3 * x + 0] = static_cast<std::uint8_t>((x + rng() % 32) / 2);
            row[3 * x + 1] = static_cast<std::uint8_t>((y + rng() % 32) / 2);
            row[3 * x + 2] = static_cast<std::uint8_t>((x + y) / 4 + rng() % 16);
        }
    }
    return picture;
}

void BM_BinarizeAutomatic(benchmark::State& state) {
    const imaging::Bitmap picture = TestPicture();
    std::vector<std::uint8_t> frame(28800);
    NullLog log;
    for (auto _ : state) {
        imaging::Binarize(picture, frame, 0, log);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_BinarizeAutomatic)->Unit(benchmark::kMicrosecond);

void BM_BinarizeFixed(benchmark::State& state) {
    const imaging::Bitmap picture = TestPicture();
    std::vector<std::uint8_t> frame(28800);
    NullLog log;
    for (auto _ : state) {
        imaging::Binarize(picture, frame, 128, log);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_BinarizeFixed)->Unit(benchmark::kMicrosecond);

void BM_RenderMono(benchmark::State& state) {
    std::vector<std::uint8_t> frame(28800);
    std::mt19937 rng(3);
    for (auto& byte : frame) byte = static_cast<std::uint8_t>(rng());
    imaging::Bitmap preview(480, 480, imaging::PixelFormat::Indexed8);
    for (auto _ : state) {
        imaging::RenderMono(frame, preview);
        benchmark::DoNotOptimize(preview.Bits());
    }
}
BENCHMARK(BM_RenderMono)->Unit(benchmark::kMicrosecond);

#ifdef PANEL_HAVE_QT
// The toolkit's own threshold conversion of the same pixels, for comparison.
void BM_QtThresholdToMono(benchmark::State& state) {
    const imaging::Bitmap picture = TestPicture();
    const QImage image(picture.Bits(), picture.Width(), picture.Height(),
                       static_cast<qsizetype>(picture.Stride()), QImage::Format_BGR888);
    for (auto _ : state) {
        QImage mono = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
        benchmark::DoNotOptimize(mono.constBits());
    }
}
BENCHMARK(BM_QtThresholdToMono)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK_MAIN();

// The screen scaler on large pictures to 480 x 480, beside Qt's smooth scaling of the same
// pixels in the same run.
#include <benchmark/benchmark.h>

#include <random>

#include "imaging/screen_scaler.h"

#ifdef PANEL_HAVE_QT
#include <QImage>
#endif

namespace {

// Photo-like detail: gradients with noise, the same for every run.
imaging::Bitmap Photo(int width, int height) {
    imaging::Bitmap photo(width, height, imaging::PixelFormat::Bgr24);
    std::mt19937 noise(7);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = photo.Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>((x ^ y) + noise() % 16);
            row[3 * x + 1] = static_cast<std::uint8_t>((x * 3 + y) / 40 + noise() % 16);
            row[3 * x + 2] = static_cast<std::uint8_t>((y * 5 - x) / 30 + noise() % 16);
        }
    }
    return photo;
}

void BM_CoreScaler(benchmark::State& state) {
    const imaging::Bitmap photo =
        Photo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            imaging::ScaleRegion(photo, 0, 0, photo.Width(), photo.Height(), 480, 480));
    }
}
BENCHMARK(BM_CoreScaler)->Args({1920, 1080})->Args({6000, 4000})->Unit(benchmark::kMillisecond);

#ifdef PANEL_HAVE_QT
void BM_QtSmoothScaling(benchmark::State& state) {
    const imaging::Bitmap photo =
        Photo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const QImage image(photo.Bits(), photo.Width(), photo.Height(),
                       static_cast<qsizetype>(photo.Stride()), QImage::Format_BGR888);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            image.scaled(480, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
}
BENCHMARK(BM_QtSmoothScaling)
    ->Args({1920, 1080})
    ->Args({6000, 4000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();

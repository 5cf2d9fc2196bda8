// Decoding the 480 x 480 colour test picture through TJPEGImage against a bare libjpeg
// loop with the same settings, in the same run. TJPEGImage may cost at most 1.15 times the
// bare loop; PairedRatio alternates the two so that a busy machine slows both alike.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imaging/jpeg_image.h"

namespace {

const std::string& PictureBytes() {
    static const std::string bytes = [] {
        std::ifstream file(JPEG_BENCH_FILE, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

// libjpeg alone: read from memory, same parameters, rows into one reused buffer.
void DecodeWithBareLibjpeg(const std::string& bytes, std::vector<JSAMPLE>& row) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 1;
    info.do_block_smoothing = TRUE;
    info.dct_method = JDCT_FLOAT;
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    row.resize(static_cast<std::size_t>(info.output_width) * 3);
    JSAMPROW target = row.data();
    while (info.output_scanline < info.output_height) {
        jpeg_read_scanlines(&info, &target, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(row.data());
}

// What the program pays: the load (copy and header read) and the decode into a new bitmap.
void LoadAndDecodeWithPicture(const std::string& bytes) {
    std::istringstream stream(bytes);
    imaging::TJPEGImage picture;
    picture.LoadStream(stream);
    benchmark::DoNotOptimize(picture.DecodeBitmap().Bits());
}

void BareLibjpegDecode(benchmark::State& state) {
    std::vector<JSAMPLE> row;
    for (auto _ : state) {
        DecodeWithBareLibjpeg(PictureBytes(), row);
    }
}

void TJPEGImageLoadAndDecode(benchmark::State& state) {
    for (auto _ : state) {
        LoadAndDecodeWithPicture(PictureBytes());
    }
}

// The decode alone, the load and the release kept out of the timing.
void TJPEGImageDecode(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::istringstream stream(PictureBytes());
        auto picture = std::make_unique<imaging::TJPEGImage>();
        picture->LoadStream(stream);
        state.ResumeTiming();
        benchmark::DoNotOptimize(picture->DecodeBitmap().Bits());
        state.PauseTiming();
        picture.reset();
        state.ResumeTiming();
    }
}

// Both, one after the other in every iteration, timed in processor time.
void PairedRatio(benchmark::State& state) {
    std::vector<JSAMPLE> row;
    std::clock_t bare = 0;
    std::clock_t picture = 0;
    for (auto _ : state) {
        const std::clock_t start = std::clock();
        DecodeWithBareLibjpeg(PictureBytes(), row);
        const std::clock_t middle = std::clock();
        LoadAndDecodeWithPicture(PictureBytes());
        const std::clock_t end = std::clock();
        bare += middle - start;
        picture += end - middle;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["bare_us"] = 1e6 * static_cast<double>(bare) / CLOCKS_PER_SEC / iterations;
    state.counters["tjpeg_us"] = 1e6 * static_cast<double>(picture) / CLOCKS_PER_SEC / iterations;
    state.counters["ratio"] =
        bare > 0 ? static_cast<double>(picture) / static_cast<double>(bare) : 0;
}

BENCHMARK(BareLibjpegDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(TJPEGImageLoadAndDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(TJPEGImageDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(PairedRatio)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

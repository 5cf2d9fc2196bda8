#include "imaging/mono_frame.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace imaging {

namespace {

// Row lumas through 16-bit arithmetic, which is exact here (255 * 256 fits) and lets the
// compiler work on many pixels at once.
void RowLuma(const std::uint8_t* bgr, int width, std::uint8_t* luma) {
    for (int x = 0; x < width; ++x) {
        const auto blue = static_cast<std::uint16_t>(bgr[3 * x + 0]);
        const auto green = static_cast<std::uint16_t>(bgr[3 * x + 1]);
        const auto red = static_cast<std::uint16_t>(bgr[3 * x + 2]);
        luma[x] = static_cast<std::uint8_t>(
            static_cast<std::uint16_t>(77 * red + 151 * green + 28 * blue) >> 8);
    }
}

std::int32_t RowLumaSum(const std::uint8_t* bgr, int width, std::uint8_t* scratch) {
    RowLuma(bgr, width, scratch);
    std::int32_t sum = 0;
    for (int x = 0; x < width; ++x) {
        sum += scratch[x];
    }
    return sum;
}

// Eight lumas to one byte, the first in bit 7.
std::uint8_t PackEight(const std::uint8_t* luma, int threshold) {
    std::uint8_t byte = 0;
    for (int bit = 0; bit < 8; ++bit) {
        byte = static_cast<std::uint8_t>((byte << 1) | (luma[bit] > threshold ? 1 : 0));
    }
    return byte;
}

void RequireBgr24(const Bitmap& picture) {
    if (picture.Format() != PixelFormat::Bgr24) {
        throw std::invalid_argument("Binarize needs a 24-bit picture");
    }
}

}  // namespace

int MeanLuma(const Bitmap& picture) {
    RequireBgr24(picture);
    if (picture.IsEmpty()) {
        return 0;
    }
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(picture.Width()));
    std::int64_t sum = 0;
    for (int y = 0; y < picture.Height(); ++y) {
        sum += RowLumaSum(picture.Row(y), picture.Width(), scratch.data());
    }
    return static_cast<int>(sum / picture.Height() / picture.Width());
}

void Binarize(const Bitmap& picture, std::span<std::uint8_t> frame, int threshold,
              serial::LogSink& log) {
    RequireBgr24(picture);
    if (threshold == 0) {
        threshold = MeanLuma(picture);
        log.LogLine("平均灰度：" + std::to_string(threshold * 100 / 255) + "%");
    }
    const std::size_t row_bytes = static_cast<std::size_t>(picture.Width() / 8);
    if (frame.size() < row_bytes * static_cast<std::size_t>(picture.Height())) {
        throw std::invalid_argument("frame too small for the picture");
    }
    const int level = std::clamp(threshold, -1, 255);
    std::vector<std::uint8_t> luma(static_cast<std::size_t>(picture.Width()));
    std::uint8_t* out = frame.data();
    for (int y = 0; y < picture.Height(); ++y) {
        RowLuma(picture.Row(y), picture.Width(), luma.data());
        for (std::size_t k = 0; k < row_bytes; ++k) {
            *out++ = PackEight(luma.data() + 8 * k, level);
        }
    }
}

void RenderMono(std::span<const std::uint8_t> frame, Bitmap& preview) {
    if (preview.Format() != PixelFormat::Indexed8) {
        throw std::invalid_argument("RenderMono needs an 8-bit picture");
    }
    const std::size_t bits = static_cast<std::size_t>(preview.Width()) *
                             static_cast<std::size_t>(preview.Height());
    if (frame.size() * 8 < bits) {
        throw std::invalid_argument("frame too small for the preview");
    }
    std::size_t bit_index = 0;
    for (int y = 0; y < preview.Height(); ++y) {
        std::uint8_t* row = preview.Row(y);
        for (int x = 0; x < preview.Width(); ++x, ++bit_index) {
            const std::uint8_t byte = frame[bit_index / 8];
            row[x] = (byte >> (7 - bit_index % 8)) & 1 ? 255 : 0;
        }
    }
}

}  // namespace imaging

#include "imaging/mono_frame.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/luma.h"

namespace imaging {

namespace {

// PANEL_VECTOR_CLONES, from the build, compiles a hot loop once per instruction set where
// the toolchain can pick one at load time, and is empty elsewhere.

// Row lumas; Luma's 16-bit arithmetic lets the compiler work on many pixels at once.
PANEL_VECTOR_CLONES
void RowLuma(const std::uint8_t* __restrict bgr, int width, std::uint8_t* __restrict luma) {
    for (int x = 0; x < width; ++x) {
        luma[x] = Luma(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x + 0]);
    }
}

PANEL_VECTOR_CLONES
std::uint32_t SumOf(const std::uint8_t* __restrict values, std::size_t count) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += values[i];
    }
    return sum;
}

// 0xFF where the luma is strictly above the threshold, else 0.
PANEL_VECTOR_CLONES
void MarkLight(const std::uint8_t* __restrict luma, std::size_t count, std::uint8_t threshold,
               std::uint8_t* __restrict marks) {
    for (std::size_t i = 0; i < count; ++i) {
        marks[i] = luma[i] > threshold ? 0xFF : 0;
    }
}

// Eight marks to one byte, the first in bit 7: each mark keeps its own bit, and one
// multiplication adds the eight bytes into the top one.
std::uint8_t PackEight(const std::uint8_t* marks) {
    std::uint64_t word;
    std::memcpy(&word, marks, sizeof word);
    word &= 0x0102040810204080ULL;  // little-endian: byte 0 keeps bit 7
    return static_cast<std::uint8_t>((word * 0x0101010101010101ULL) >> 56);
}

void RequireBgr24(const Bitmap& picture) {
    if (picture.Format() != PixelFormat::Bgr24) {
        throw std::invalid_argument("lumas need a 24-bit picture");
    }
}

int MeanOf(const LumaPlane& lumas) {
    if (lumas.width == 0 || lumas.height == 0) {
        return 0;
    }
    std::int64_t sum = 0;
    for (int y = 0; y < lumas.height; ++y) {
        sum += SumOf(lumas.Row(y), static_cast<std::size_t>(lumas.width));
    }
    return static_cast<int>(sum / lumas.height / lumas.width);
}

std::array<std::uint64_t, 256> ExpandedBytes() {
    std::array<std::uint64_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        std::uint8_t pixels[8];
        for (int bit = 0; bit < 8; ++bit) {
            pixels[bit] = (byte >> (7 - bit)) & 1 ? 255 : 0;
        }
        std::memcpy(&table[byte], pixels, sizeof pixels);
    }
    return table;
}

}  // namespace

LumaPlane LumaPlaneOf(const Bitmap& picture, std::vector<std::uint8_t>& storage) {
    RequireBgr24(picture);
    const auto width = static_cast<std::size_t>(picture.Width());
    storage.resize(width * static_cast<std::size_t>(picture.Height()));
    for (int y = 0; y < picture.Height(); ++y) {
        RowLuma(picture.Row(y), picture.Width(), storage.data() + width * y);
    }
    return {storage.data(), picture.Width(), picture.Height(), width};
}

std::optional<int> ThresholdLuma(const LumaPlane& lumas, std::span<std::uint8_t> frame,
                                 int threshold) {
    const std::size_t row_bytes = static_cast<std::size_t>(lumas.width / 8);
    const std::size_t frame_bytes = row_bytes * static_cast<std::size_t>(lumas.height);
    if (frame.size() < frame_bytes) {
        throw std::invalid_argument("frame too small for the picture");
    }
    std::optional<int> mean;
    if (threshold == 0) {
        mean = MeanOf(lumas);
        threshold = *mean;
    }
    if (threshold < 0) {
        std::fill_n(frame.begin(), frame_bytes, 0xFF);  // every luma is above
        return mean;
    }
    if (threshold >= 255) {
        std::fill_n(frame.begin(), frame_bytes, 0);  // no luma is above
        return mean;
    }
    std::vector<std::uint8_t> marks(static_cast<std::size_t>(lumas.width) + 8);
    std::uint8_t* out = frame.data();
    for (int y = 0; y < lumas.height; ++y) {
        MarkLight(lumas.Row(y), static_cast<std::size_t>(lumas.width),
                  static_cast<std::uint8_t>(threshold), marks.data());
        PackMarks(marks.data(), row_bytes, out);
        out += row_bytes;
    }
    return mean;
}

std::string MeanLumaLine(int mean) {
    return "平均灰度：" + std::to_string(mean * 100 / 255) + "%";
}

void BinarizeLuma(const LumaPlane& lumas, std::span<std::uint8_t> frame, int threshold,
                  serial::LogSink& log) {
    if (const std::optional<int> mean = ThresholdLuma(lumas, frame, threshold)) {
        log.LogLine(MeanLumaLine(*mean));
    }
}

void Binarize(const Bitmap& picture, std::span<std::uint8_t> frame, int threshold,
              serial::LogSink& log) {
    // Kept between calls so that the hot path does not map fresh memory each time.
    thread_local std::vector<std::uint8_t> storage;
    BinarizeLuma(LumaPlaneOf(picture, storage), frame, threshold, log);
}

void PackMarks(const std::uint8_t* marks, std::size_t row_bytes, std::uint8_t* out) {
    for (std::size_t k = 0; k < row_bytes; ++k) {
        out[k] = PackEight(marks + 8 * k);
    }
}

void RenderMono(std::span<const std::uint8_t> frame, Bitmap& preview) {
    if (preview.Format() != PixelFormat::Indexed8) {
        throw std::invalid_argument("RenderMono needs an 8-bit picture");
    }
    const std::size_t bits =
        static_cast<std::size_t>(preview.Width()) * static_cast<std::size_t>(preview.Height());
    if (frame.size() * 8 < bits) {
        throw std::invalid_argument("frame too small for the preview");
    }
    static const std::array<std::uint64_t, 256> kExpanded = ExpandedBytes();
    const auto width = static_cast<std::size_t>(preview.Width());
    std::size_t bit_index = 0;
    for (int y = 0; y < preview.Height(); ++y) {
        std::uint8_t* row = preview.Row(y);
        std::size_t x = 0;
        // Whole frame bytes at a time where the row is aligned to one; bit by bit elsewhere.
        for (; x < width && bit_index % 8 != 0; ++x, ++bit_index) {
            row[x] = (frame[bit_index / 8] >> (7 - bit_index % 8)) & 1 ? 255 : 0;
        }
        for (; x + 8 <= width; x += 8, bit_index += 8) {
            std::memcpy(row + x, &kExpanded[frame[bit_index / 8]], 8);
        }
        for (; x < width; ++x, ++bit_index) {
            row[x] = (frame[bit_index / 8] >> (7 - bit_index % 8)) & 1 ? 255 : 0;
        }
    }
}

}  // namespace imaging

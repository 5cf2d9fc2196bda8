#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "serial/log_sink.h"

namespace imaging {

// 8-bit luma samples, one a pixel, rows `stride` bytes apart. A view: the caller owns the
// pixels.
struct LumaPlane {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;

    const std::uint8_t* Row(int y) const { return pixels + stride * static_cast<std::size_t>(y); }
};

// The lumas of a 24-bit picture, row after row without padding, written into `storage`,
// which the returned plane views. Keeping the vector between calls spares mapping fresh
// memory each time.
LumaPlane LumaPlaneOf(const Bitmap& picture, std::vector<std::uint8_t>& storage);

// Lumas to a monochrome frame: bit 1 where the luma is strictly above the threshold,
// leftmost pixel in the most significant bit, width / 8 bytes per row, rows one after
// another. Threshold 0 picks the mean luma, which is returned; nothing is logged.
std::optional<int> ThresholdLuma(const LumaPlane& lumas, std::span<std::uint8_t> frame,
                                 int threshold);

// The log line that words the mean luma an automatic threshold used, as a percentage.
std::string MeanLumaLine(int mean);

// ThresholdLuma, and the mean it picked for threshold 0 logged as MeanLumaLine.
void BinarizeLuma(const LumaPlane& lumas, std::span<std::uint8_t> frame, int threshold,
                  serial::LogSink& log);

// BinarizeLuma on the lumas of a 24-bit picture.
void Binarize(const Bitmap& picture, std::span<std::uint8_t> frame, int threshold,
              serial::LogSink& log);

// One row of marks (0xFF light, 0 dark), one a pixel, to `row_bytes` frame bytes: eight
// marks a byte, the first in bit 7. Reads 8 * row_bytes marks.
void PackMarks(const std::uint8_t* marks, std::size_t row_bytes, std::uint8_t* out);

// A frame back to a black-and-white 8-bit preview: index 255 for a set bit, else 0. The
// preview's size says how many bits are read, row after row.
void RenderMono(std::span<const std::uint8_t> frame, Bitmap& preview);

}  // namespace imaging

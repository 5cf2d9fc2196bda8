#pragma once

#include <cstdint>
#include <span>

#include "imaging/bitmap.h"
#include "serial/log_sink.h"

namespace imaging {

// Luma of one pixel by meaning: the weights add up to 256, so the result is 0..255.
inline std::uint8_t Luma(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint8_t>((77 * red + 151 * green + 28 * blue) >> 8);
}

// A 24-bit picture to a monochrome frame: bit 1 where the luma is strictly above the
// threshold, leftmost pixel in the most significant bit, width / 8 bytes per row, rows one
// after another. Threshold 0 picks the mean luma and logs it as a percentage.
void Binarize(const Bitmap& picture, std::span<std::uint8_t> frame, int threshold,
              serial::LogSink& log);

// A frame back to a black-and-white 8-bit preview: index 255 for a set bit, else 0. The
// preview's size says how many bits are read, row after row.
void RenderMono(std::span<const std::uint8_t> frame, Bitmap& preview);

}  // namespace imaging

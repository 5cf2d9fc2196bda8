#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "imaging/bitmap.h"
#include "imaging/dither.h"

namespace imaging {

// Copies the picture the window shows into a bitmap (a JPEG decodes here, and may throw).
using SourceCopier = std::function<void(Bitmap&)>;

// How a picture becomes black and white: the threshold (0: the automatic mean), or, when a
// dither method is chosen, that method, which needs no threshold.
struct Binarization {
    int threshold = 0;
    std::optional<DitherMethod> dither;
};

// The source picture cropped or extended to the screen's size, 24 bits per pixel.
Bitmap PrepareWorkingPicture(const SourceCopier& copy_source);

// The working picture to a frame of kFrameBytes. Returns the mean luma when the automatic
// threshold used it, for the caller to log as MeanLumaLine; nothing is logged here.
std::optional<int> BinarizeWorkingPicture(const Bitmap& working, const Binarization& binarization,
                                          std::span<std::uint8_t> frame);

// A black-and-white 8-bit picture of a frame, the size of the screen.
Bitmap PreviewOf(std::span<const std::uint8_t> frame);

// A frame at half the screen's size, 8-bit gray: each pixel is the mean of its 2 x 2 block,
// (255 k + 2) / 4 for k light pixels, so that a line one pixel wide, light or dark, stays
// in sight as a gray line.
Bitmap HalfScalePreviewOf(std::span<const std::uint8_t> frame);

}  // namespace imaging

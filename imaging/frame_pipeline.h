#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/dither.h"
#include "imaging/screen_scaler.h"

// A picture becomes the screen's frame along one way: fit, then threshold or dither, then
// invert. Nothing here logs: the caller words the mean.
namespace imaging {

struct FrameRecipe {
    Fit fit = Fit::Crop;
    int threshold = 0;  // 0: the mean of the lumas
    std::optional<DitherMethod> dither;
    bool invert = false;
};

// The frame (FrameBytes) for the screen's lumas. Returns the mean when the automatic
// threshold used it, nullopt otherwise.
std::optional<int> FrameFromLumas(const LumaPlane& lumas, const FrameRecipe& recipe,
                                  std::span<std::uint8_t> frame);

// A decoded picture, fitted to the screen by the recipe, then as FrameFromLumas.
std::optional<int> FrameFromPicture(const Bitmap& picture, const FrameRecipe& recipe,
                                    std::span<std::uint8_t> frame);

// 8-bit gray of width x height (row after row), fitted when it is not the screen's size,
// then as FrameFromLumas. `fitted` keeps the fitted grays between calls of a stream.
std::optional<int> FrameFromGray(std::span<const std::uint8_t> gray, int width, int height,
                                 const FrameRecipe& recipe, std::span<std::uint8_t> frame,
                                 std::vector<std::uint8_t>& fitted);

}  // namespace imaging

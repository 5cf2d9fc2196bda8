#include "imaging/frame_pipeline.h"

#include <stdexcept>

#include "imaging/mono_frame.h"
#include "imaging/screen_size.h"

namespace imaging {

namespace {

constexpr int kSide = kScreenWidth;

void Invert(std::span<std::uint8_t> frame) {
    for (std::uint8_t& byte : frame) {
        byte = static_cast<std::uint8_t>(~byte);
    }
}

}  // namespace

std::optional<int> FrameFromLumas(const LumaPlane& lumas, const FrameRecipe& recipe,
                                  std::span<std::uint8_t> frame) {
    std::optional<int> mean;
    if (recipe.dither) {
        Dither(lumas, frame, *recipe.dither);
    } else {
        mean = ThresholdLuma(lumas, frame, recipe.threshold);
    }
    if (recipe.invert) {
        Invert(frame);
    }
    return mean;
}

std::optional<int> FrameFromPicture(const Bitmap& picture, const FrameRecipe& recipe,
                                    std::span<std::uint8_t> frame) {
    const Bitmap screen = FitToScreen(picture, recipe.fit);
    std::vector<std::uint8_t> lumas;
    return FrameFromLumas(LumaPlaneOf(screen, lumas), recipe, frame);
}

std::optional<int> FrameFromGray(std::span<const std::uint8_t> gray, int width, int height,
                                 const FrameRecipe& recipe, std::span<std::uint8_t> frame,
                                 std::vector<std::uint8_t>& fitted) {
    const std::size_t row = static_cast<std::size_t>(width);
    if (width <= 0 || height <= 0 || gray.size() < row * static_cast<std::size_t>(height)) {
        throw std::invalid_argument("gray too small for its size");
    }
    LumaPlane lumas{gray.data(), width, height, row};
    if (width != kSide || height != kSide) {
        lumas = FitGrayToScreen(lumas, recipe.fit, fitted);
    }
    return FrameFromLumas(lumas, recipe, frame);
}

}  // namespace imaging

#include "imaging/working_picture.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <vector>

#include "imaging/mono_frame.h"
#include "imaging/screen_size.h"

namespace imaging {

Bitmap PrepareWorkingPicture(const SourceCopier& copy_source) {
    Bitmap working;
    copy_source(working);
    working.SetWidth(kScreenWidth);
    working.SetHeight(kScreenHeight);
    working.SetPixelFormat(PixelFormat::Bgr24);
    return working;
}

Bitmap PreviewOf(std::span<const std::uint8_t> frame) {
    Bitmap preview(kScreenWidth, kScreenHeight, PixelFormat::Indexed8);
    RenderMono(frame, preview);
    return preview;
}

Bitmap HalfScalePreviewOf(std::span<const std::uint8_t> frame) {
    constexpr std::size_t kRowBytes = kScreenWidth / 8;
    if (frame.size() < kFrameBytes) {
        throw std::invalid_argument("frame too small for the preview");
    }
    Bitmap preview(kScreenWidth / 2, kScreenHeight / 2, PixelFormat::Indexed8);  // 256 grays
    for (int y = 0; y < preview.Height(); ++y) {
        const std::uint8_t* top = frame.data() + 2 * kRowBytes * static_cast<std::size_t>(y);
        const std::uint8_t* bottom = top + kRowBytes;
        std::uint8_t* row = preview.Row(y);
        for (int x = 0; x < preview.Width(); ++x) {
            const int shift = 6 - 2 * (x % 4);  // the pair of pixels 2x and 2x + 1
            const auto block = static_cast<unsigned>((top[x / 4] >> shift & 3) << 2 |
                                                     (bottom[x / 4] >> shift & 3));
            row[x] = static_cast<std::uint8_t>((255 * std::popcount(block) + 2) / 4);
        }
    }
    return preview;
}

std::optional<int> BinarizeWorkingPicture(const Bitmap& working, const Binarization& binarization,
                                          std::span<std::uint8_t> frame) {
    if (binarization.dither) {
        Dither(working, frame, *binarization.dither);
        return std::nullopt;
    }
    // Kept between calls so that the hot path does not map fresh memory each time.
    thread_local std::vector<std::uint8_t> storage;
    return ThresholdLuma(LumaPlaneOf(working, storage), frame, binarization.threshold);
}

}  // namespace imaging

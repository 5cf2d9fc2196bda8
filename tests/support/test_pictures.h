#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/luma.h"
#include "support/frame_bits.h"

namespace testing_support {

inline imaging::Bitmap RandomPicture(int width, int height, unsigned seed) {
    imaging::Bitmap picture(width, height, imaging::PixelFormat::Bgr24);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < 3 * width; ++i) picture.Row(y)[i] = static_cast<std::uint8_t>(rng());
    return picture;
}

// A picture of one colour.
inline imaging::Bitmap PlainPicture(int width, int height, std::uint8_t red, std::uint8_t green,
                                    std::uint8_t blue) {
    imaging::Bitmap picture(width, height, imaging::PixelFormat::Bgr24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = picture.Row(y) + 3 * x;
            p[0] = blue, p[1] = green, p[2] = red;
        }
    return picture;
}

// The module's frame for a 24-bit picture's top-left 480 x 480 with the automatic
// threshold, worked out here from the pixels alone.
inline std::vector<std::uint8_t> ExpectedFrame(const imaging::Bitmap& picture) {
    std::vector<int> luma;
    long long sum = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 480; ++x) {
            const std::uint8_t* p = picture.Row(y) + 3 * x;
            luma.push_back((77 * p[2] + 151 * p[1] + 28 * p[0]) / 256);
            sum += luma.back();
        }
    const long long mean = sum / (480 * 480);
    return PackFrame(
        [&](int x, int y) { return luma[static_cast<std::size_t>(y * 480 + x)] > mean; });
}

}  // namespace testing_support

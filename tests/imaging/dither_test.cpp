#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>
#include <vector>

#include "imaging/dither.h"
#include "imaging/luma.h"
#include "support/frame_bits.h"

namespace {

using imaging::DitherMethod;
using testing_support::FrameBit;

struct Gray {
    int width, height;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(width * height);
    std::uint8_t& At(int x, int y) { return pixels[y * width + x]; }
};

std::vector<std::uint8_t> DitherOf(const Gray& g, DitherMethod method) {
    std::vector<std::uint8_t> frame(g.width / 8 * g.height, 0xAA);
    imaging::Dither({g.pixels.data(), g.width, g.height, std::size_t(g.width)}, frame, method);
    return frame;
}

TEST(BayerTest, EveryPixelOfAPictureIsLightExactlyAboveItsLimit) {
    constexpr int kIndex[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                  {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                  {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                  {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    // 42 wide: rows padded to 128 bytes, and two pixels beyond the last whole frame byte.
    imaging::Bitmap picture(42, 24, imaging::PixelFormat::Bgr24);
    std::mt19937 rng(5);
    std::generate_n(picture.Bits(), picture.Stride() * 24, [&] { return rng(); });
    std::vector<std::uint8_t> frame(5 * 24, 0xAA);
    imaging::Dither(picture, frame, DitherMethod::Bayer8);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            const std::uint8_t* bgr = picture.Row(y) + 3 * x;
            ASSERT_EQ(FrameBit(frame, x, y, 42),
                      imaging::Luma(bgr[2], bgr[1], bgr[0]) > 4 * kIndex[y % 8][x % 8] + 2)
                << x << "," << y;
        }
}

TEST(FloydSteinbergTest, FlatGrayKeepsItsToneAtEveryLevel) {
    for (int level = 0; level < 256; ++level) {
        const Gray gray{480, 480, std::vector<std::uint8_t>(480 * 480, level)};
        int lit = 0;
        for (const auto byte : DitherOf(gray, DitherMethod::FloydSteinberg))
            lit += std::popcount(byte);
        EXPECT_NEAR(100.0 * lit / (480 * 480), 100.0 * level / 255, 0.5) << "gray " << level;
    }
}

TEST(FloydSteinbergTest, EachBandOfAGradientKeepsItsMeanGray) {
    Gray gray{480, 480};
    for (int i = 0; i < 480 * 480; ++i) gray.pixels[i] = i % 480 * 255 / 479;
    const auto frame = DitherOf(gray, DitherMethod::FloydSteinberg);
    for (int band = 0; band < 480; band += 16) {
        int lit = 0, sum = 0;
        for (int x = band; x < band + 16; ++x) {
            sum += gray.At(x, 0);
            for (int y = 0; y < 480; ++y) lit += FrameBit(frame, x, y);
        }
        EXPECT_NEAR(100.0 * lit / (16 * 480), 100.0 * sum / (16 * 255), 3.0) << "band " << band;
    }
}

TEST(FloydSteinbergTest, EvenRowsRunLeftToRightAndOddRowsMirrorThem) {
    // Flat 89 on top: pixel 0 is dark and hands on 7/16 of 89 = 38.9, rounded to 39, so
    // pixel 1 is 128 and light. A black row leaves no error, so under one the same two rows
    // mirrored, scanned right to left and then left to right, give the mirror image.
    Gray picture{16, 2}, mirrored{16, 3};
    std::mt19937 rng(9);
    for (int x = 0; x < 16; ++x) {
        picture.At(x, 0) = mirrored.At(15 - x, 1) = 89;
        picture.At(x, 1) = mirrored.At(15 - x, 2) = rng();
    }
    const auto frame = DitherOf(picture, DitherMethod::FloydSteinberg);
    EXPECT_EQ(frame[0] >> 6, 0b01);
    const auto mirror_frame = DitherOf(mirrored, DitherMethod::FloydSteinberg);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(FrameBit(frame, x, y, 16), FrameBit(mirror_frame, 15 - x, y + 1, 16));
}

TEST(AtkinsonTest, SmallPictureWorkedByHand) {
    // v = Y + ((received + 4) >> 3), light when v > 127; e = v, or v - 255 when light.
    // (5,0) Y 127: v 127 is not above 127, e 127 to (6,0) (7,0) (4,1) (5,1) (6,1) (5,2).
    // (6,0) gets 127: e 16 to (7,0) (5,1) (6,1) (7,1) (6,2). (7,0) 143: e 18 to (6,1) (7,1)
    // (7,2). (4,1) 127: e 16 to (5,1) (6,1) (3,2) (4,2) (5,2). (5,1) 159: e 20 to (6,1) (7,1)
    // (4,2) (5,2) (6,2). (6,1) Y 96 gets 197: v 96 + 25 = 121, e 121 to (7,1) (5,2) (6,2)
    // (7,2). (7,1) 175: e 22 to (6,2) (7,2). (3,2) 16: e 2 to (4,2) (5,2). (4,2) 38: e 5 to
    // (5,2) (6,2). (5,2) 291: e 36 to (6,2) (7,2). (6,2) Y 100 gets 16 + 20 + 121 + 22 + 5 +
    // 36 = 220: v 100 + 28 = 128, light; e -127 to (7,2), which gets 70: v 9.
    const Gray gray{8, 3, {0, 0, 0, 0, 0, 127, 0,   0,  //
                           0, 0, 0, 0, 0, 0,   96,  0,  //
                           0, 0, 0, 0, 0, 0,   100, 0}};
    EXPECT_EQ(DitherOf(gray, DitherMethod::Atkinson),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x02}));
}

}  // namespace

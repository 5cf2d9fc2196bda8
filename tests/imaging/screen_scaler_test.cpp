// The screen scaler: which pixels each shape takes, and what the filters make of them.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/screen_scaler.h"
#include "support/test_pictures.h"

namespace {

using imaging::Bitmap;
using imaging::Fit;
using testing_support::PlainPicture;

std::tuple<int, int, int> Rgb(const Bitmap& picture, int x, int y) {
    const std::uint8_t* p = picture.Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

constexpr std::tuple<int, int, int> kRed{255, 0, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

// Blue, with a red band of columns [from, to) and rows [top, bottom).
Bitmap RedBand(int width, int height, int from, int to, int top = 0, int bottom = 1 << 30) {
    Bitmap picture = PlainPicture(width, height, 0, 0, 255);
    for (int y = top; y < std::min(height, bottom); ++y)
        for (int x = from; x < to; ++x) picture.Row(y)[3 * x] = 0, picture.Row(y)[3 * x + 2] = 255;
    return picture;
}

TEST(ScreenScalerTest, ShapesTakeTheirPartOfThePicture) {
    // Scaling keeps the top-left square: 960 x 480 is its left half, exactly.
    const Bitmap wide = testing_support::RandomPicture(960, 480, 3);
    const Bitmap half = imaging::ComposeScreenPicture(wide, true);
    for (int y = 0; y < 480; ++y) ASSERT_EQ(std::memcmp(half.Row(y), wide.Row(y), 3 * 480), 0) << y;
    // 200 x 100 is its left 100 x 100: red marks the left quarter, so a centred crop would
    // show no red and squeezing the whole width would show half as much.
    const Bitmap marked = imaging::ComposeScreenPicture(RedBand(200, 100, 0, 50), true);
    EXPECT_TRUE(Rgb(marked, 200, 240) == kRed && Rgb(marked, 280, 240) == kBlue);
    // A tall picture keeps its top: its top 100 rows are red, everything else blue.
    const Bitmap tall = imaging::ComposeScreenPicture(RedBand(200, 400, 0, 200, 0, 100), true);
    EXPECT_EQ(Rgb(tall, 240, 230), kRed);
    EXPECT_EQ(Rgb(tall, 240, 250), kBlue);
    // Unscaled, a small picture sits 1:1 at the top-left on white.
    const Bitmap small = imaging::ComposeScreenPicture(PlainPicture(100, 50, 0, 0, 255), false);
    EXPECT_EQ(Rgb(small, 99, 49), kBlue);
    EXPECT_TRUE(Rgb(small, 100, 0) == kWhite && Rgb(small, 0, 50) == kWhite);
    // lcdctl's fits of colour pictures: tests/cli/lcdctl_test.cpp, pixel by pixel.
}

TEST(ScreenScalerTest, FiltersAverageWhenShrinkingAndInterpolateWhenGrowing) {
    // A plain colour stays exactly that colour at any scale, even where each of many source
    // pixels weighs only a little.
    for (const auto& [width, height, out_width, out_height] :
         {std::tuple(7, 3, 480, 480), std::tuple(481, 479, 480, 480),
          std::tuple(2000, 1333, 480, 480), std::tuple(2000, 1333, 3, 2)}) {
        EXPECT_EQ(imaging::ScaleRegion(PlainPicture(width, height, 17, 201, 255), 0, 0, width,
                                       height, out_width, out_height),
                  PlainPicture(out_width, out_height, 17, 201, 255))
            << width << " x " << height << " to " << out_width << " x " << out_height;
    }
    // An indexed picture goes through its palette.
    Bitmap indexed(3, 3, imaging::PixelFormat::Indexed8);
    indexed.SetPalette({{10, 20, 30}, {200, 100, 50}});
    std::fill(indexed.Bits(), indexed.Bits() + indexed.Stride() * 3, 1);
    EXPECT_EQ(Rgb(imaging::ScaleRegion(indexed, 0, 0, 3, 3, 480, 480), 300, 7),
              std::tuple(200, 100, 50));
    // Halving a one-pixel checkerboard of black and white gives mid gray everywhere.
    Bitmap checker(960, 960, imaging::PixelFormat::Indexed8);
    for (int y = 0; y < 960; ++y)
        for (int x = 0; x < 960; ++x) checker.Row(y)[x] = (x + y) % 2 ? 255 : 0;
    const Bitmap gray = imaging::ScaleRegion(checker, 0, 0, 960, 960, 480, 480);
    for (const int at : {0, 100, 479}) EXPECT_EQ(std::get<0>(Rgb(gray, at, at)), 128);
    // A quarter takes all four columns it covers, not just the two beside its centre.
    Bitmap sparse = PlainPicture(960, 1, 0, 0, 0);
    for (int x = 0; x < 960; x += 4)
        std::fill(sparse.Row(0) + 3 * x, sparse.Row(0) + 3 * x + 3, 255);
    const Bitmap quarter = imaging::ScaleRegion(sparse, 0, 0, 960, 1, 240, 1);
    for (const int at : {0, 120, 239}) EXPECT_EQ(std::get<0>(Rgb(quarter, at, 0)), 64);
    // Growing two columns, black then white, rises steadily from one to the other.
    Bitmap two = PlainPicture(2, 1, 0, 0, 0);
    std::fill(two.Row(0) + 3, two.Row(0) + 6, 255);
    const Bitmap ramp = imaging::ScaleRegion(two, 0, 0, 2, 1, 480, 1);
    EXPECT_TRUE(Rgb(ramp, 0, 0) == std::tuple(0, 0, 0) && Rgb(ramp, 479, 0) == kWhite);
    for (int x = 1; x < 480; ++x)
        ASSERT_LE(std::get<0>(Rgb(ramp, x - 1, 0)), std::get<0>(Rgb(ramp, x, 0)));
    EXPECT_NEAR(std::get<0>(Rgb(ramp, 240, 0)), 128, 2);
}

TEST(ScreenScalerTest, GraysFitLikeColours) {
    std::vector<std::uint8_t> pixels(300 * 100, 0);
    for (int y = 0; y < 100; ++y)
        for (int x = 100; x < 200; ++x) pixels[y * 300 + x] = 200;
    std::vector<std::uint8_t> storage;
    const imaging::LumaPlane plane{pixels.data(), 300, 100, 300};
    const imaging::LumaPlane crop = imaging::FitGrayToScreen(plane, Fit::Crop, storage);
    EXPECT_TRUE(crop.Row(240)[5] == 200 && crop.Row(240)[474] == 200);
    const imaging::LumaPlane pad = imaging::FitGrayToScreen(plane, Fit::Pad, storage);
    EXPECT_TRUE(pad.Row(100)[240] == 255 && pad.Row(240)[240] == 200 && pad.Row(240)[5] == 0);
}

}  // namespace

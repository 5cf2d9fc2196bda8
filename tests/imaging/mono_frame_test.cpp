#include <gtest/gtest.h>

#include <random>

#include "support/recording_log.h"
#include "imaging/frame_actions.h"
#include "imaging/mono_frame.h"

namespace {

using imaging::Bitmap;
using imaging::PixelFormat;
using testing_support::RecordingLog;

constexpr int kSide = 480;
constexpr std::size_t kFrameBytes = 28800;

Bitmap Uniform(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int w = kSide,
               int h = kSide) {
    Bitmap picture(w, h, PixelFormat::Bgr24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            picture.Row(y)[3 * x] = blue;
            picture.Row(y)[3 * x + 1] = green;
            picture.Row(y)[3 * x + 2] = red;
        }
    return picture;
}

void SetPixel(Bitmap& picture, int x, int y, std::uint8_t red, std::uint8_t green,
              std::uint8_t blue) {
    picture.Row(y)[3 * x] = blue;
    picture.Row(y)[3 * x + 1] = green;
    picture.Row(y)[3 * x + 2] = red;
}

std::vector<std::uint8_t> BinarizeToFrame(const Bitmap& picture, int threshold, RecordingLog& log) {
    std::vector<std::uint8_t> frame(kFrameBytes, 0xAA);
    imaging::Binarize(picture, frame, threshold, log);
    return frame;
}

TEST(BinarizeTest, UniformBlackAndWhiteGiveDarkFramesAndTheirMeans) {
    RecordingLog log;
    const auto black = BinarizeToFrame(Uniform(0, 0, 0), 0, log);
    const auto white = BinarizeToFrame(Uniform(255, 255, 255), 0, log);
    EXPECT_EQ(black, std::vector<std::uint8_t>(kFrameBytes, 0));
    // White's mean is 255 and no luma is strictly above it.
    EXPECT_EQ(white, std::vector<std::uint8_t>(kFrameBytes, 0));
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"平均灰度：0%", "平均灰度：100%"}));
}

TEST(BinarizeTest, AutomaticMeanIsLoggedAsTruncatedPercentage) {
    RecordingLog log;
    Bitmap picture = Uniform(0, 0, 0);
    for (int y = 0; y < kSide / 2; ++y)
        for (int x = 0; x < kSide; ++x) SetPixel(picture, x, y, 255, 255, 255);
    const auto frame = BinarizeToFrame(picture, 0, log);
    // Mean 127: 127 * 100 / 255 = 49.8, logged as 49.
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"平均灰度：49%"});
    EXPECT_EQ(frame[0], 0xFF);
    EXPECT_EQ(frame[kFrameBytes - 1], 0x00);
}

TEST(BinarizeTest, LumaEqualToTheThresholdIsDarkAndOneAboveIsLight) {
    RecordingLog log;
    // Gray 100 has luma exactly 100, since the weights add up to 256.
    const Bitmap gray = Uniform(100, 100, 100);
    EXPECT_EQ(BinarizeToFrame(gray, 100, log)[0], 0x00);
    EXPECT_EQ(BinarizeToFrame(gray, 99, log)[0], 0xFF);
    EXPECT_TRUE(log.entries.empty());  // a fixed threshold logs nothing
}

TEST(BinarizeTest, LeftmostPixelIsTheHighBitAndRowsAreSixtyBytes) {
    RecordingLog log;
    Bitmap picture = Uniform(0, 0, 0);
    SetPixel(picture, 0, 0, 255, 255, 255);
    SetPixel(picture, 7, 0, 255, 255, 255);
    SetPixel(picture, 8, 0, 255, 255, 255);
    SetPixel(picture, 479, 0, 255, 255, 255);
    SetPixel(picture, 0, 1, 255, 255, 255);
    SetPixel(picture, 479, 479, 255, 255, 255);
    const auto frame = BinarizeToFrame(picture, 128, log);
    EXPECT_EQ(frame[0], 0x81);
    EXPECT_EQ(frame[1], 0x80);
    EXPECT_EQ(frame[59], 0x01);
    EXPECT_EQ(frame[60], 0x80);
    EXPECT_EQ(frame[kFrameBytes - 1], 0x01);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0), static_cast<long>(kFrameBytes - 5));
}

TEST(BinarizeTest, ChannelsAreTakenByMeaningNotByPosition) {
    RecordingLog log;
    // Pure red has luma 76, pure blue 27: a threshold of 50 tells them apart, and would
    // not if blue and red were swapped.
    EXPECT_EQ(BinarizeToFrame(Uniform(255, 0, 0), 50, log)[0], 0xFF);
    EXPECT_EQ(BinarizeToFrame(Uniform(0, 0, 255), 50, log)[0], 0x00);
    EXPECT_EQ(BinarizeToFrame(Uniform(0, 255, 0), 149, log)[0], 0xFF);
}

TEST(BinarizeTest, RandomPictureMatchesAnIndependentlyComputedFrame) {
    std::mt19937 rng(1234);
    Bitmap picture(kSide, kSide, PixelFormat::Bgr24);
    std::vector<std::uint8_t> expected(kFrameBytes, 0);
    const int threshold = 117;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const std::uint8_t r = rng(), g = rng(), b = rng();
            SetPixel(picture, x, y, r, g, b);
            const double luma = (77.0 * r + 151.0 * g + 28.0 * b) / 256.0;
            if (static_cast<int>(luma) > threshold) {
                expected[y * 60 + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    RecordingLog log;
    EXPECT_EQ(BinarizeToFrame(picture, threshold, log), expected);
}

TEST(RenderMonoTest, StripesOfFourBlackThenFourWhite) {
    const std::vector<std::uint8_t> frame(kFrameBytes, 0x0F);
    Bitmap preview(kSide, kSide, PixelFormat::Indexed8);
    imaging::RenderMono(frame, preview);
    for (int y : {0, 1, 240, 479})
        for (int x = 0; x < kSide; ++x)
            ASSERT_EQ(preview.Row(y)[x], x % 8 < 4 ? 0 : 255) << x << "," << y;
    EXPECT_EQ(preview.Palette()[0], (imaging::PaletteEntry{0, 0, 0}));
    EXPECT_EQ(preview.Palette()[255], (imaging::PaletteEntry{255, 255, 255}));
}

TEST(RenderMonoTest, RoundTripsABinarizedFrameAndRowsRunOnContinuously) {
    std::vector<std::uint8_t> frame(kFrameBytes, 0);
    frame[60] = 0x80;  // row 1, first pixel
    frame[kFrameBytes - 1] = 0x01;
    const Bitmap preview = imaging::PreviewOf(frame);
    EXPECT_EQ(preview.Row(1)[0], 255);
    EXPECT_EQ(preview.Row(0)[0], 0);
    EXPECT_EQ(preview.Row(479)[479], 255);

    Bitmap again = preview;
    again.SetPixelFormat(PixelFormat::Bgr24);
    RecordingLog log;
    EXPECT_EQ(BinarizeToFrame(again, 128, log), frame);
}

TEST(WorkingPictureTest, LargerPicturesAreCroppedToTheirTopLeft) {
    Bitmap big = Uniform(0, 0, 0, 600, 500);
    SetPixel(big, 479, 479, 255, 255, 255);  // inside the kept corner
    SetPixel(big, 480, 0, 255, 255, 255);    // cut off
    const Bitmap working = imaging::PrepareWorkingPicture([&](Bitmap& target) { target = big; });
    ASSERT_EQ(working.Width(), kSide);
    ASSERT_EQ(working.Height(), kSide);
    EXPECT_EQ(working.Row(479)[3 * 479 + 2], 255);
    EXPECT_EQ(working.Row(0)[3 * 479 + 2], 0);
}

TEST(WorkingPictureTest, SmallerPicturesAreExtendedWithWhiteNotScaled) {
    Bitmap small = Uniform(0, 0, 0, 100, 50);
    const Bitmap working = imaging::PrepareWorkingPicture([&](Bitmap& target) { target = small; });
    ASSERT_EQ(working.Width(), kSide);
    ASSERT_EQ(working.Height(), kSide);
    EXPECT_EQ(working.Row(49)[3 * 99], 0);     // the original, unscaled
    EXPECT_EQ(working.Row(49)[3 * 100], 255);  // added to the right
    EXPECT_EQ(working.Row(50)[0], 255);        // added below
    EXPECT_EQ(working.Row(479)[3 * 479 + 1], 255);
}

TEST(WorkingPictureTest, EightBitSourcesBecomeTwentyFourBitByTheirPalette) {
    Bitmap indexed(2, 1, PixelFormat::Indexed8);
    indexed.SetPalette({{10, 20, 30}, {200, 100, 50}});
    indexed.Row(0)[0] = 1;
    indexed.Row(0)[1] = 0;
    const Bitmap working =
        imaging::PrepareWorkingPicture([&](Bitmap& target) { target = indexed; });
    ASSERT_EQ(working.Format(), PixelFormat::Bgr24);
    const std::uint8_t* row = working.Row(0);
    EXPECT_EQ((std::vector<int>{row[0], row[1], row[2], row[3], row[4], row[5]}),
              (std::vector<int>{50, 100, 200, 30, 20, 10}));
}

TEST(WorkingPictureTest, EmptySourceBecomesAWhitePicture) {
    const Bitmap working = imaging::PrepareWorkingPicture([](Bitmap&) {});
    RecordingLog log;
    const auto frame = BinarizeToFrame(working, 0, log);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"平均灰度：100%"});
    EXPECT_EQ(frame, std::vector<std::uint8_t>(kFrameBytes, 0));
}

}  // namespace

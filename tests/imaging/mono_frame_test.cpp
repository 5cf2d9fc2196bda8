#include <gtest/gtest.h>

#include "imaging/mono_frame.h"
#include "imaging/working_picture.h"
#include "support/recording_log.h"
#include "support/test_pictures.h"

namespace {

using imaging::Bitmap;
using imaging::PixelFormat;
using testing_support::RecordingLog;
using Frame = std::vector<std::uint8_t>;

using testing_support::kFrameBytes;
constexpr int kSide = 480;

Bitmap Uniform(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return testing_support::PlainPicture(kSide, kSide, red, green, blue);
}
void Whiten(Bitmap& picture, int x, int y) {
    std::fill_n(picture.Row(y) + 3 * x, 3, 255);
}

Frame BinarizeToFrame(const Bitmap& picture, int threshold, RecordingLog& log) {
    Frame frame(kFrameBytes, 0xAA);
    imaging::Binarize(picture, frame, threshold, log);
    return frame;
}

TEST(BinarizeTest, ThresholdsAndTheLoggedMean) {
    Bitmap half_white = Uniform(0, 0, 0);
    for (int y = 0; y < kSide / 2; ++y) std::fill_n(half_white.Row(y), 3 * kSide, 255);
    const struct {
        const char* name;
        Bitmap picture;
        int threshold;
        std::uint8_t first, last;
        std::vector<std::string> logged;
    } cases[] = {
        {"black, automatic", Uniform(0, 0, 0), 0, 0x00, 0x00, {"平均灰度：0%"}},
        {"white: nothing above a mean of 255", Uniform(255, 255, 255), 0, 0, 0, {"平均灰度：100%"}},
        {"half white: mean 127 logged as 49", half_white, 0, 0xFF, 0x00, {"平均灰度：49%"}},
        {"a luma equal to the threshold is dark", Uniform(100, 100, 100), 100, 0, 0, {}},
        {"one below it is light", Uniform(100, 100, 100), 99, 0xFF, 0xFF, {}},
        {"red by meaning: luma 76", Uniform(255, 0, 0), 50, 0xFF, 0xFF, {}},
        {"blue by meaning: luma 27", Uniform(0, 0, 255), 50, 0, 0, {}},
        {"green: luma 150", Uniform(0, 255, 0), 149, 0xFF, 0xFF, {}},
    };
    for (const auto& c : cases) {
        RecordingLog log;
        const Frame frame = BinarizeToFrame(c.picture, c.threshold, log);
        EXPECT_EQ(std::tuple(frame.front(), frame.back()), std::tuple(c.first, c.last)) << c.name;
        EXPECT_EQ(log.Lines(), c.logged) << c.name;
    }
}

TEST(RenderMonoTest, StripesRenderAsFourBlackThenFourWhiteAndFramesRoundTrip) {
    const Bitmap stripes = imaging::PreviewOf(Frame(kFrameBytes, 0x0F));
    for (int y : {0, 1, 240, 479})
        for (int x = 0; x < kSide; ++x)
            ASSERT_EQ(stripes.Row(y)[x], x % 8 < 4 ? 0 : 255) << x << "," << y;
    EXPECT_EQ(stripes.Palette()[0], (imaging::PaletteEntry{0, 0, 0}));
    EXPECT_EQ(stripes.Palette()[255], (imaging::PaletteEntry{255, 255, 255}));

    Frame frame(kFrameBytes, 0);
    testing_support::SetFrameBit(frame, 0, 1);  // the byte position runs on from row to row
    testing_support::SetFrameBit(frame, 479, 479);
    Bitmap again = imaging::PreviewOf(frame);
    again.SetPixelFormat(PixelFormat::Bgr24);
    RecordingLog log;
    EXPECT_EQ(BinarizeToFrame(again, 128, log), frame);
}

// Light lines one pixel wide on a dark ground, and two blocks of their own.
TEST(HalfScalePreviewTest, EachPixelIsItsBlocksMeanSoAThinLineStaysInSight) {
    Frame frame(kFrameBytes, 0x01);
    for (const auto& [x, y] :
         {std::pair(0, 0), std::pair(1, 0), std::pair(0, 1), std::pair(476, 478)})
        testing_support::SetFrameBit(frame, x, y);
    const Bitmap preview = imaging::HalfScalePreviewOf(frame);
    ASSERT_EQ(std::tuple(preview.Width(), preview.Height()), std::tuple(240, 240));
    for (int x = 2; x < 240; ++x) EXPECT_EQ(preview.Row(120)[x], x % 4 == 3 ? 128 : 0) << x;
    EXPECT_EQ(std::tuple(preview.Row(0)[0], preview.Row(0)[1], preview.Row(239)[238]),
              std::tuple(191, 0, 64));
}

Bitmap Working(const Bitmap& source) {
    return imaging::PrepareWorkingPicture([&](Bitmap& target) { target = source; });
}

TEST(WorkingPictureTest, CroppedOrExtendedWithWhiteFromTheTopLeftNeverScaled) {
    Bitmap big = testing_support::PlainPicture(600, 500, 0, 0, 0);
    Whiten(big, 479, 479);  // inside the kept corner
    Whiten(big, 480, 0);    // cut off
    const Bitmap cropped = Working(big);
    ASSERT_EQ(std::tuple(cropped.Width(), cropped.Height()), std::tuple(kSide, kSide));
    EXPECT_EQ(cropped.Row(479)[3 * 479 + 2], 255);
    EXPECT_EQ(cropped.Row(0)[3 * 479 + 2], 0);

    const Bitmap extended = Working(testing_support::PlainPicture(100, 50, 0, 0, 0));
    ASSERT_EQ(std::tuple(extended.Width(), extended.Height()), std::tuple(kSide, kSide));
    EXPECT_EQ(std::tuple(extended.Row(49)[3 * 99], extended.Row(49)[3 * 100], extended.Row(50)[0],
                         extended.Row(479)[3 * 479 + 1]),
              std::tuple(0, 255, 255, 255));
}

TEST(WorkingPictureTest, PalettePicturesAndNothingAtAllBecomeTwentyFourBits) {
    Bitmap indexed(2, 1, PixelFormat::Indexed8);
    indexed.SetPalette({{10, 20, 30}, {200, 100, 50}});
    indexed.Row(0)[0] = 1;
    indexed.Row(0)[1] = 0;
    const Bitmap working = Working(indexed);
    ASSERT_EQ(working.Format(), PixelFormat::Bgr24);
    const std::uint8_t* row = working.Row(0);
    // Extended with the palette's lightest colour, which stands in for the white it lacks.
    EXPECT_EQ((std::vector<int>{row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[8]}),
              (std::vector<int>{50, 100, 200, 30, 20, 10, 50, 200}));

    RecordingLog log;  // nothing to copy: a white picture, mean 255
    EXPECT_EQ(BinarizeToFrame(Working(Bitmap()), 0, log), Frame(kFrameBytes, 0));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"平均灰度：100%"});
}

}  // namespace

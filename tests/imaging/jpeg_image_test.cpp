#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>

#include <jerror.h>

#include "imaging/jpeg_image.h"
#include "jpeg_test_support.h"

namespace {

using imaging::Bitmap;
using imaging::PaletteEntry;
using imaging::PixelFormat;
using imaging::TJPEGImage;
using jpeg_test::ReadFileBytes;
using jpeg_test::TestFile;

// Tests set the program-wide default decode depth; each starts and ends with 24.
class JpegImageTest : public ::testing::Test {
protected:
    JpegImageTest() { imaging::ComputeDefaultJPEGDepth(std::nullopt); }
    ~JpegImageTest() override { imaging::ComputeDefaultJPEGDepth(std::nullopt); }
};

std::unique_ptr<TJPEGImage> LoadTestJpeg(std::string_view name) {
    auto picture = std::make_unique<TJPEGImage>();
    picture->LoadFromFile(TestFile(name));
    return picture;
}

// The code of the EJPEG the action raises, or -1.
template <typename Action>
int JpegErrorCodeOf(Action&& action) {
    try {
        action();
    } catch (const imaging::EJPEG& error) {
        EXPECT_EQ(std::string(error.what()), "JPEG error #" + std::to_string(error.Code()));
        return error.Code();
    }
    return -1;
}

// How many pixels of the rectangle are saturated red, stored blue, green, red.
int RedPixels(Bitmap bitmap, int left, int top, int right, int bottom) {
    bitmap.SetPixelFormat(PixelFormat::Bgr24);
    int red = 0;
    for (int y = top; y < bottom; ++y) {
        for (const std::uint8_t* bgr = bitmap.Row(y) + 3 * left; bgr < bitmap.Row(y) + 3 * right;
             bgr += 3) {
            red += bgr[2] > 200 && bgr[1] < 60 && bgr[0] < 60 ? 1 : 0;
        }
    }
    return red;
}

double MeanAbsoluteDifference(Bitmap a, Bitmap b) {
    a.SetPixelFormat(PixelFormat::Bgr24);
    b.SetPixelFormat(PixelFormat::Bgr24);
    EXPECT_TRUE(a.Width() == b.Width() && a.Height() == b.Height());
    double total = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int i = 0; i < a.Width() * 3; ++i) {
            total += std::abs(int{a.Row(y)[i]} - int{b.Row(y)[i]});
        }
    }
    return total / (3.0 * a.Width() * a.Height());
}

// Compares with a BMP file as djpeg writes it: bottom-up rows padded to four bytes.
void ExpectSameAsBmp(const Bitmap& bitmap, const char* bmp_name) {
    const std::vector<std::uint8_t> bmp = ReadFileBytes(TestFile(bmp_name));
    const auto field = [&bmp](std::size_t at) {  // bits per pixel come with compression 0
        return static_cast<int>(bmp.at(at) | bmp.at(at + 1) << 8 | bmp.at(at + 2) << 16 |
                                bmp.at(at + 3) << 24);
    };
    ASSERT_EQ(std::tuple(bitmap.Width(), bitmap.Height(), 8 * bitmap.BytesPerPixel()),
              std::tuple(field(18), field(22), static_cast<std::size_t>(field(28))))
        << bmp_name;
    const std::size_t row_bytes = bitmap.Width() * bitmap.BytesPerPixel();
    const std::size_t stride = (row_bytes + 3) & ~std::size_t{3};
    for (int y = 0; y < bitmap.Height(); ++y) {
        const auto row = bmp.begin() + field(10) + (bitmap.Height() - 1 - y) * stride;
        ASSERT_TRUE(std::equal(row, row + row_bytes, bitmap.Row(y))) << bmp_name << " row " << y;
    }
    std::vector<PaletteEntry> palette;
    for (std::size_t at = 14 + field(14); at < static_cast<std::size_t>(field(10)); at += 4) {
        palette.push_back({bmp[at + 2], bmp[at + 1], bmp[at]});
    }
    palette.resize(std::min(palette.size(), bitmap.Palette().size()));
    EXPECT_EQ(bitmap.Palette(), palette) << bmp_name;
}

TEST_F(JpegImageTest, ColourFileKnowsItsSizeBeforeDecodingAndDecodesOnce) {
    // Screen bits, depth, palette flag, notifications (while the flag is set; a palette sets it).
    const std::tuple<int, int, bool, int> cases[] = {
        {0, 24, true, 1}, {16, 24, false, 0}, {1, 8, false, 1}, {8, 8, true, 1}};
    for (const auto& [screen_bits, depth, palette_flag, notifications] : cases) {
        SCOPED_TRACE(::testing::Message() << screen_bits << " bits, flag " << palette_flag);
        imaging::ComputeDefaultJPEGDepth(screen_bits);
        auto picture = LoadTestJpeg("color_480.jpg");
        EXPECT_EQ(std::tuple(picture->Depth(), picture->ImageWidth(), picture->ImageHeight()),
                  std::tuple(depth, 480, 480));
        picture->SetPaletteModified(palette_flag);
        int changes = 0;
        picture->OnChange = [&changes] { ++changes; };
        const Bitmap& bitmap = picture->DecodeBitmap();
        EXPECT_EQ(&picture->DrawingBitmap(), &bitmap);
        EXPECT_EQ(changes, notifications);
        EXPECT_EQ(picture->Palette(), bitmap.Palette());
        EXPECT_EQ(bitmap.Palette().size(), depth == 8 ? 236u : 0u);
        EXPECT_EQ(bitmap.Format(), depth == 8 ? PixelFormat::Indexed8 : PixelFormat::Bgr24);
        // The red square covers 0..159; its edges blur with the neighbourhood.
        EXPECT_EQ(RedPixels(bitmap, 8, 8, 152, 152), 144 * 144);
        // Its size is the file's: changing it is refused, even to the same value.
        try {
            picture->SetWidth(480);
            ADD_FAILURE() << "a width was set";
        } catch (const imaging::EInvalidGraphicOperation& error) {
            EXPECT_STREQ(error.what(), "Cannot change the size of a JPEG image");
        }
        EXPECT_THROW(picture->SetHeight(50), imaging::EInvalidGraphicOperation);
        EXPECT_EQ(std::tuple(picture->ImageWidth(), picture->ImageHeight()), std::tuple(480, 480));
    }
}

TEST_F(JpegImageTest, DecodesByteForByteAsDjpegWithTheSameSettings) {
    // Float IDCT, fancy upsampling, block smoothing, 236 colours where it quantizes.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"baseline_small.jpg", 32, "baseline_small.bmp"},
        {"progressive_small.jpg", 32, "progressive_small.bmp"},
        {"truncated_small.jpg", 32, "truncated_small.bmp"},
        {"truncated_progressive.jpg", 32, "truncated_progressive.bmp"},  // smoothed blocks
        {"gray.jpg", 32, "gray_236.bmp"},  // 236 grays, whatever the screen
        {"gray.jpg", 8, "gray_236.bmp"},
        {"baseline_small.jpg", 8, "baseline_small_236.bmp"}};
    for (const auto& [jpeg, screen_bits, bmp] : cases) {
        imaging::ComputeDefaultJPEGDepth(screen_bits);
        ExpectSameAsBmp(LoadTestJpeg(jpeg)->DecodeBitmap(), bmp);
    }
}

TEST_F(JpegImageTest, RgbAndCmykFilesGiveTheColoursOfTheYCbCrFile) {
    // The RGB-coded file must really carry an Adobe marker with transform 0.
    const std::vector<std::uint8_t> rgb = ReadFileBytes(TestFile("rgb_coded.jpg"));
    const std::string_view adobe = "Adobe";
    const auto at = std::search(rgb.begin(), rgb.end(), adobe.begin(), adobe.end());
    EXPECT_TRUE(rgb.end() - at > 11 && at[11] == 0);

    const auto reference = LoadTestJpeg("baseline_small.jpg");
    // File, screen bits, red square, range of the mean difference from the YCbCr decode.
    const std::tuple<const char*, int, bool, double, double> cases[] = {
        {"rgb_coded.jpg", 32, true, 0, 4},
        {"cmyk_adobe.jpg", 32, true, 0, 4},  // inverted samples: 255 is no ink
        {"cmyk_adobe.jpg", 8, true, 0, 20},
        {"cmyk_plain.jpg", 32, false, 50, 255},  // amounts of ink: the red's full black is black
    };
    for (const auto& [name, screen_bits, red, min_difference, max_difference] : cases) {
        SCOPED_TRACE(::testing::Message() << name << " at " << screen_bits);
        imaging::ComputeDefaultJPEGDepth(screen_bits);
        auto picture = LoadTestJpeg(name);
        const Bitmap& bitmap = picture->DecodeBitmap();
        EXPECT_EQ(bitmap.Format(), screen_bits == 8 ? PixelFormat::Indexed8 : PixelFormat::Bgr24);
        EXPECT_EQ(RedPixels(bitmap, 4, 4, 44, 28), red ? 40 * 24 : 0);
        const double difference = MeanAbsoluteDifference(bitmap, reference->DecodeBitmap());
        EXPECT_TRUE(difference >= min_difference && difference < max_difference) << difference;
    }
}

TEST_F(JpegImageTest, BrokenFilesRaiseTheirJpegErrorOnce) {
    // File, error of the load (0: it loads), header size, error of the decode, notifications
    // after it (the load's, and one when the decode got as far as changing the bitmap).
    const std::tuple<const char*, int, int, int, int, int> cases[] = {
        {"bitmap_named.jpg", JERR_NO_SOI, 0, 0, 0, 0},
        {"tables_only.jpg", JERR_NO_IMAGE, 0, 0, 0, 0},
        {"empty.jpg", 0, 0, 0, JERR_INPUT_EMPTY, 1},
        {"oversized.jpg", 0, 60000, 60000, JERR_IMAGE_TOO_BIG, 1},
        {"bad_progression.jpg", 0, 101, 67, JERR_BAD_PROGRESSION, 2},  // no row read
        {"second_sof.jpg", 0, 101, 67, JERR_SOF_DUPLICATE, 2},
        {"scan_bomb.jpg", 0, 2048, 2048, imaging::kJpegTooManyScans, 2},
    };
    for (const auto& [name, load_error, width, height, decode_error, notifications] : cases) {
        SCOPED_TRACE(name);
        TJPEGImage picture;  // holding a decoded picture that each load must discard
        picture.LoadFromFile(TestFile("gray.jpg"));
        picture.DecodeBitmap();
        int changes = 0;
        picture.OnChange = [&changes] { ++changes; };
        const std::filesystem::path file = TestFile(name);
        if (load_error != 0) {
            EXPECT_EQ(JpegErrorCodeOf([&] { picture.LoadFromFile(file); }), load_error);
            EXPECT_EQ(std::tuple(changes, picture.ImageWidth(), picture.Palette().size()),
                      std::tuple(0, 0, 0u));
            continue;
        }
        picture.LoadFromFile(file);
        EXPECT_EQ(std::tuple(changes, picture.IsEmpty(), picture.Palette().size(),
                             picture.ImageWidth(), picture.ImageHeight()),
                  std::tuple(1, false, 0u, width, height));
        EXPECT_EQ(JpegErrorCodeOf([&] { picture.DecodeBitmap(); }), decode_error);
        Bitmap copy(3, 3, PixelFormat::Bgr24);
        picture.AssignTo(copy);  // neither decodes again nor raises
        EXPECT_EQ(std::tuple(changes, picture.ImageWidth(), picture.ImageHeight()),
                  std::tuple(notifications, copy.Width(), copy.Height()));
        if (decode_error == JERR_SOF_DUPLICATE) {  // found after every row was read
            ExpectSameAsBmp(copy, "baseline_small.bmp");
        } else {
            EXPECT_TRUE(copy.IsEmpty());
        }
    }
    EXPECT_TRUE(TJPEGImage().DecodeBitmap().IsEmpty());  // nothing loaded, nothing to decode
}

}  // namespace

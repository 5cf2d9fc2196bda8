#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>

#include <jpeglib.h>

#include <jerror.h>

#include "imaging/jpeg_image.h"
#include "jpeg_test_support.h"

namespace {

using imaging::Bitmap;
using imaging::EInvalidGraphicOperation;
using imaging::EJPEG;
using imaging::PaletteEntry;
using imaging::PixelFormat;
using imaging::TJPEGImage;
using jpeg_test::DefaultDepthScope;
using jpeg_test::JpegErrorCodeOf;
using jpeg_test::LoadTestJpeg;
using jpeg_test::PixelRow;
using jpeg_test::ReadBmp;
using jpeg_test::ReadFileBytes;
using jpeg_test::TestFile;

// Counts the picture's change notifications.
struct ChangeCounter {
    explicit ChangeCounter(TJPEGImage& picture) {
        picture.OnChange = [this] { ++count; };
    }
    int count = 0;
};

class JpegImageTest : public ::testing::Test {
protected:
    // Every test starts from a screen deeper than 8 bits.
    DefaultDepthScope m_depth{std::nullopt};
};

// Every pixel of the rectangle is saturated red, stored blue, green, red.
void ExpectRedArea(const Bitmap& bitmap, int left, int top, int right, int bottom) {
    ASSERT_EQ(bitmap.Format(), PixelFormat::Bgr24);
    int bad_pixels = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::uint8_t* bgr = bitmap.Row(y) + 3 * x;
            if (!(bgr[2] > 200 && bgr[1] < 60 && bgr[0] < 60)) {
                ++bad_pixels;
            }
        }
    }
    EXPECT_EQ(bad_pixels, 0);
}

double MeanAbsoluteDifference(const Bitmap& a, const Bitmap& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    double total = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int i = 0; i < a.Width() * 3; ++i) {
            total += std::abs(int{a.Row(y)[i]} - int{b.Row(y)[i]});
        }
    }
    return total / (3.0 * a.Width() * a.Height());
}

void ExpectSameAsBmp(const Bitmap& bitmap, const char* bmp_name) {
    const jpeg_test::BmpImage reference = ReadBmp(TestFile(bmp_name));
    ASSERT_EQ(bitmap.Width(), reference.width);
    ASSERT_EQ(bitmap.Height(), reference.height);
    ASSERT_EQ(static_cast<int>(bitmap.BytesPerPixel()) * 8, reference.bits_per_pixel);
    for (int y = 0; y < bitmap.Height(); ++y) {
        ASSERT_EQ(PixelRow(bitmap, y), reference.rows[static_cast<std::size_t>(y)]) << "row " << y;
    }
    if (bitmap.Format() == PixelFormat::Indexed8) {
        ASSERT_LE(bitmap.Palette().size(), reference.palette.size());
        for (std::size_t i = 0; i < bitmap.Palette().size(); ++i) {
            EXPECT_EQ(bitmap.Palette()[i], reference.palette[i]) << "palette entry " << i;
        }
    }
}

TEST_F(JpegImageTest, ColourFileReportsHeaderSizeThenDecodesTo24BitBgr) {
    auto picture = LoadTestJpeg("color_480.jpg");
    EXPECT_EQ(picture->ImageWidth(), 480);
    EXPECT_EQ(picture->ImageHeight(), 480);
    EXPECT_FALSE(picture->IsEmpty());
    EXPECT_FALSE(picture->Data()->Grayscale());
    EXPECT_TRUE(picture->Palette().empty());
    const std::vector<std::uint8_t> file = ReadFileBytes(TestFile("color_480.jpg"));
    EXPECT_TRUE(std::ranges::equal(picture->Data()->Bytes(), file));

    const Bitmap& bitmap = picture->DecodeBitmap();
    EXPECT_EQ(bitmap.Width(), 480);
    EXPECT_EQ(bitmap.Height(), 480);
    // The red square covers 0..159; its edges blur with the neighbourhood.
    ExpectRedArea(bitmap, 8, 8, 152, 152);
    EXPECT_EQ(picture->ImageWidth(), 480);
    EXPECT_TRUE(picture->Palette().empty());
}

TEST_F(JpegImageTest, LoadReadsOnlyTheHeader) {
    // 60000 x 60000 pixels claimed in front of a small scan: loading is cheap and only the
    // decode refuses it, before any row memory is taken.
    auto picture = LoadTestJpeg("oversized.jpg");
    EXPECT_EQ(picture->ImageWidth(), 60000);
    EXPECT_EQ(picture->ImageHeight(), 60000);
    EXPECT_EQ(JpegErrorCodeOf([&] { picture->DecodeBitmap(); }), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(picture->ImageWidth(), 0);
    EXPECT_EQ(picture->ImageHeight(), 0);
}

TEST_F(JpegImageTest, LoadStreamTakesTheBytesFromTheCurrentPosition) {
    const std::vector<std::uint8_t> jpeg = ReadFileBytes(TestFile("baseline_small.jpg"));
    std::string content = "leading bytes that are not part of the picture";
    const std::size_t prefix = content.size();
    content.append(jpeg.begin(), jpeg.end());
    std::istringstream stream(content);
    stream.seekg(static_cast<std::streamoff>(prefix));

    TJPEGImage picture;
    picture.LoadStream(stream);
    EXPECT_TRUE(std::ranges::equal(picture.Data()->Bytes(), jpeg));
    EXPECT_EQ(picture.ImageWidth(), 101);
    EXPECT_EQ(picture.ImageHeight(), 67);
}

// A stream that can only be read forward, like a pipe.
class ForwardOnlyBuffer : public std::streambuf {
public:
    explicit ForwardOnlyBuffer(std::string content) : m_content(std::move(content)) {
        setg(m_content.data(), m_content.data(), m_content.data() + m_content.size());
    }

private:
    std::string m_content;
};

TEST_F(JpegImageTest, LoadStreamReadsAStreamThatCannotSeekToItsEnd) {
    const std::vector<std::uint8_t> jpeg = ReadFileBytes(TestFile("baseline_small.jpg"));
    ForwardOnlyBuffer buffer(std::string(jpeg.begin(), jpeg.end()));
    std::istream stream(&buffer);
    TJPEGImage picture;
    picture.LoadStream(stream);
    EXPECT_TRUE(std::ranges::equal(picture.Data()->Bytes(), jpeg));
    EXPECT_EQ(picture.ImageWidth(), 101);
}

TEST_F(JpegImageTest, DecodesByteForByteAsDjpegWithTheSameSettings) {
    // Baseline 4:2:0 with fancy upsampling, progressive with block smoothing, and a file
    // cut in half that the source ends with a synthetic end-of-image marker.
    ExpectSameAsBmp(LoadTestJpeg("baseline_small.jpg")->DecodeBitmap(), "baseline_small.bmp");
    ExpectSameAsBmp(LoadTestJpeg("progressive_small.jpg")->DecodeBitmap(), "progressive_small.bmp");
    ExpectSameAsBmp(LoadTestJpeg("truncated_small.jpg")->DecodeBitmap(), "truncated_small.bmp");
}

TEST_F(JpegImageTest, QuantizesByteForByteAsDjpegWith236Colours) {
    ExpectSameAsBmp(LoadTestJpeg("gray.jpg")->DecodeBitmap(), "gray_236.bmp");
    DefaultDepthScope palette_screen(8);
    ExpectSameAsBmp(LoadTestJpeg("baseline_small.jpg")->DecodeBitmap(), "baseline_small_236.bmp");
}

TEST_F(JpegImageTest, RgbCodedFileAlsoYieldsBlueGreenRed) {
    // The fixture must really be RGB-coded (Adobe marker, transform 0).
    const std::vector<std::uint8_t> bytes = ReadFileBytes(TestFile("rgb_coded.jpg"));
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    EXPECT_EQ(info.jpeg_color_space, JCS_RGB);
    EXPECT_TRUE(info.saw_Adobe_marker);
    jpeg_destroy_decompress(&info);

    const auto rgb_picture = LoadTestJpeg("rgb_coded.jpg");
    const Bitmap& rgb = rgb_picture->DecodeBitmap();
    ExpectRedArea(rgb, 4, 4, 44, 28);
    // Same source picture as the YCbCr file: a swapped channel would differ by far more.
    const auto ycc_picture = LoadTestJpeg("baseline_small.jpg");
    EXPECT_LT(MeanAbsoluteDifference(rgb, ycc_picture->DecodeBitmap()), 4.0);
}

TEST_F(JpegImageTest, GrayscaleFileDecodesTo236GraysAtEitherDepth) {
    for (const int screen_bits : {32, 8}) {
        DefaultDepthScope depth(screen_bits);
        auto picture = LoadTestJpeg("gray.jpg");
        EXPECT_TRUE(picture->Data()->Grayscale());
        const Bitmap& bitmap = picture->DecodeBitmap();
        ASSERT_EQ(bitmap.Format(), PixelFormat::Indexed8);
        const std::vector<PaletteEntry>& palette = bitmap.Palette();
        ASSERT_EQ(palette.size(), 236u);
        for (std::size_t i = 0; i < palette.size(); ++i) {
            EXPECT_EQ(palette[i].red, palette[i].green);
            EXPECT_EQ(palette[i].red, palette[i].blue);
            if (i > 0) {
                EXPECT_GT(palette[i].red, palette[i - 1].red);
            }
        }
        EXPECT_EQ(palette.front().red, 0);
        EXPECT_EQ(palette.back().red, 255);
        EXPECT_EQ(picture->Palette(), palette);
        EXPECT_TRUE(picture->PaletteModified());

        // The ramp runs from white on the left to black on the right.
        Bitmap as_24 = bitmap;
        as_24.SetPixelFormat(PixelFormat::Bgr24);
        EXPECT_GT(as_24.Row(30)[0], 239);
        EXPECT_LT(as_24.Row(30)[3 * 100], 16);
    }
}

TEST_F(JpegImageTest, DepthEightQuantizesColourFilesToAtMost236Colours) {
    TJPEGImage made_before;
    DefaultDepthScope palette_screen(8);
    auto picture = LoadTestJpeg("color_480.jpg");
    EXPECT_EQ(picture->Depth(), 8);
    EXPECT_EQ(made_before.Depth(), 24);

    const Bitmap& bitmap = picture->DecodeBitmap();
    ASSERT_EQ(bitmap.Format(), PixelFormat::Indexed8);
    EXPECT_LE(bitmap.Palette().size(), 236u);
    EXPECT_GT(bitmap.Palette().size(), 100u);
    Bitmap as_24 = bitmap;
    as_24.SetPixelFormat(PixelFormat::Bgr24);
    ExpectRedArea(as_24, 8, 8, 152, 152);
}

TEST_F(JpegImageTest, DefaultDepthIsEightOnlyForScreensOfEightBitsOrFewer) {
    const std::pair<std::optional<int>, int> cases[] = {
        {std::nullopt, 24}, {0, 24}, {1, 8}, {4, 8}, {8, 8}, {15, 24}, {16, 24}, {32, 24}};
    for (const auto& [screen_bits, depth] : cases) {
        imaging::ComputeDefaultJPEGDepth(screen_bits);
        EXPECT_EQ(imaging::DefaultJPEGDepth(), depth) << screen_bits.value_or(-1);
        EXPECT_EQ(TJPEGImage().Depth(), depth);
    }
}

TEST_F(JpegImageTest, CmykFilesAreConvertedToBlueGreenRed) {
    const auto reference_picture = LoadTestJpeg("baseline_small.jpg");
    const Bitmap& reference = reference_picture->DecodeBitmap();
    const auto adobe_picture = LoadTestJpeg("cmyk_adobe.jpg");
    const Bitmap& adobe = adobe_picture->DecodeBitmap();
    ASSERT_EQ(adobe.Format(), PixelFormat::Bgr24);
    ASSERT_EQ(adobe.Width(), 101);
    ASSERT_EQ(adobe.Height(), 67);
    ExpectRedArea(adobe, 4, 4, 44, 28);
    EXPECT_LT(MeanAbsoluteDifference(adobe, reference), 4.0);

    // The same samples without the Adobe marker mean amounts of ink: the red square's
    // stored full black channel now reads as black.
    const auto plain_picture = LoadTestJpeg("cmyk_plain.jpg");
    const Bitmap& plain = plain_picture->DecodeBitmap();
    ASSERT_EQ(plain.Format(), PixelFormat::Bgr24);
    EXPECT_LT(plain.Row(10)[3 * 10 + 2], 40);
    EXPECT_GT(MeanAbsoluteDifference(plain, reference), 50.0);

    DefaultDepthScope palette_screen(8);
    Bitmap quantized = LoadTestJpeg("cmyk_adobe.jpg")->DecodeBitmap();
    ASSERT_EQ(quantized.Format(), PixelFormat::Indexed8);
    EXPECT_LE(quantized.Palette().size(), 236u);
    quantized.SetPixelFormat(PixelFormat::Bgr24);
    ExpectRedArea(quantized, 4, 4, 44, 28);
    EXPECT_LT(MeanAbsoluteDifference(quantized, reference), 20.0);
}

TEST_F(JpegImageTest, HeaderErrorsFailTheLoadWithoutNotifying) {
    const std::pair<const char*, int> cases[] = {{"bitmap_named.jpg", JERR_NO_SOI},
                                                 {"tables_only.jpg", JERR_NO_IMAGE}};
    for (const auto& [name, code] : cases) {
        TJPEGImage picture;
        ChangeCounter changes(picture);
        const std::filesystem::path file = TestFile(name);
        EXPECT_EQ(JpegErrorCodeOf([&] { picture.LoadFromFile(file); }), code) << name;
        EXPECT_EQ(changes.count, 0);
        EXPECT_EQ(picture.ImageWidth(), 0);
    }
}

TEST_F(JpegImageTest, FailedLoadDiscardsThePreviousPicture) {
    auto picture = LoadTestJpeg("color_480.jpg");
    picture->DecodeBitmap();
    EXPECT_THROW(picture->LoadFromFile(TestFile("bitmap_named.jpg")), EJPEG);
    EXPECT_EQ(picture->ImageWidth(), 0);
    EXPECT_EQ(picture->ImageHeight(), 0);
    EXPECT_TRUE(picture->Palette().empty());
}

TEST_F(JpegImageTest, ZeroLengthFileLoadsButFailsToDecodeOnce) {
    TJPEGImage picture;
    ChangeCounter changes(picture);
    picture.LoadFromFile(TestFile("empty.jpg"));
    EXPECT_EQ(changes.count, 1);
    EXPECT_FALSE(picture.IsEmpty());
    EXPECT_EQ(picture.ImageWidth(), 0);
    EXPECT_EQ(picture.ImageHeight(), 0);
    EXPECT_EQ(JpegErrorCodeOf([&] { picture.DecodeBitmap(); }), JERR_INPUT_EMPTY);
    EXPECT_EQ(picture.DecodeBitmap().Width(), 0);
    EXPECT_EQ(changes.count, 1);
}

TEST_F(JpegImageTest, NewPictureIsEmptyAndHasNothingToDecode) {
    TJPEGImage picture;
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_EQ(picture.ImageWidth(), 0);
    EXPECT_TRUE(picture.DecodeBitmap().IsEmpty());
}

TEST_F(JpegImageTest, EarlyDecodeFailureLeavesAZeroSizeBitmapForGood) {
    // The second scan asks for an impossible band; libjpeg stops while it reads the scans,
    // before any row exists.
    auto picture = LoadTestJpeg("bad_progression.jpg");
    ChangeCounter changes(*picture);
    EXPECT_EQ(picture->ImageWidth(), 101);
    EXPECT_EQ(JpegErrorCodeOf([&] { picture->DecodeBitmap(); }), JERR_BAD_PROGRESSION);
    EXPECT_EQ(changes.count, 1);  // a failed decode notifies too
    EXPECT_EQ(picture->ImageWidth(), 0);
    EXPECT_EQ(picture->ImageHeight(), 0);
    Bitmap copy(3, 3, PixelFormat::Bgr24);
    EXPECT_NO_THROW(picture->AssignTo(copy));
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(changes.count, 1);
}

TEST_F(JpegImageTest, LateDecodeFailureKeepsTheRowsAlreadyRead) {
    // A second frame header after the scan is only found once every row is out.
    auto picture = LoadTestJpeg("second_sof.jpg");
    EXPECT_EQ(JpegErrorCodeOf([&] { picture->DecodeBitmap(); }), JERR_SOF_DUPLICATE);
    const Bitmap& kept = picture->DecodeBitmap();
    EXPECT_EQ(picture->ImageWidth(), 101);
    ExpectSameAsBmp(kept, "baseline_small.bmp");
}

TEST_F(JpegImageTest, SecondDecodeAndCopyReuseTheFirstBitmap) {
    auto picture = LoadTestJpeg("progressive_small.jpg");
    ChangeCounter changes(*picture);
    const Bitmap& first = picture->DecodeBitmap();
    EXPECT_EQ(changes.count, 1);  // the load's palette flag is still set
    const Bitmap& second = picture->DecodeBitmap();
    EXPECT_EQ(&first, &second);
    Bitmap copy;
    picture->AssignTo(copy);
    EXPECT_EQ(copy, first);
    EXPECT_EQ(&picture->DrawingBitmap(), &first);
    EXPECT_EQ(changes.count, 1);
}

TEST_F(JpegImageTest, DecodeNotifiesOnlyWhileThePaletteFlagIsSet) {
    auto colour = LoadTestJpeg("baseline_small.jpg");
    ChangeCounter colour_changes(*colour);
    colour->SetPaletteModified(false);  // the observer took the palette over
    colour->DecodeBitmap();
    EXPECT_EQ(colour_changes.count, 0);

    auto gray = LoadTestJpeg("gray.jpg");
    ChangeCounter gray_changes(*gray);
    gray->SetPaletteModified(false);
    gray->DecodeBitmap();  // installs a palette
    EXPECT_TRUE(gray->PaletteModified());
    EXPECT_EQ(gray_changes.count, 1);
}

TEST_F(JpegImageTest, NewLoadDiscardsTheDecodedBitmap) {
    auto picture = LoadTestJpeg("color_480.jpg");
    ChangeCounter changes(*picture);
    picture->DecodeBitmap();
    picture->LoadFromFile(TestFile("gray.jpg"));
    EXPECT_EQ(changes.count, 2);
    EXPECT_EQ(picture->ImageWidth(), 101);
    EXPECT_TRUE(picture->Palette().empty());
    EXPECT_EQ(picture->DecodeBitmap().Format(), PixelFormat::Indexed8);
}

TEST_F(JpegImageTest, SizeChangesAreRefused) {
    auto picture = LoadTestJpeg("baseline_small.jpg");
    ChangeCounter changes(*picture);
    for (const int value : {101, 67, 480, 0}) {
        try {
            picture->SetWidth(value);
            ADD_FAILURE() << "SetWidth accepted " << value;
        } catch (const EInvalidGraphicOperation& error) {
            EXPECT_STREQ(error.what(), "Cannot change the size of a JPEG image");
        }
        EXPECT_THROW(picture->SetHeight(value), EInvalidGraphicOperation);
    }
    EXPECT_EQ(picture->ImageWidth(), 101);
    EXPECT_EQ(picture->ImageHeight(), 67);
    EXPECT_EQ(changes.count, 0);
}

TEST_F(JpegImageTest, UnreadableFileIsAStreamError) {
    TJPEGImage picture;
    EXPECT_THROW(picture.LoadFromFile(TestFile("no_such_file.jpg")), std::ios_base::failure);
    EXPECT_TRUE(picture.IsEmpty());
}

}  // namespace

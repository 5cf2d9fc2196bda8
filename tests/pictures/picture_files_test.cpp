#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <random>

#include "imaging/graphic.h"
#include "imaging/jpeg_test_support.h"
#include "pictures/picture_codec.h"
#include "pictures/picture_files.h"
#include "support/frame_bits.h"

// Through whichever codec the platform has: the same bytes must give the same pixels.
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;

Bytes Read(const char* name) {
    return jpeg_test::ReadFileBytes(jpeg_test::TestFile(name));
}

Rgb RgbAt(const imaging::Bitmap& bitmap, int x, int y) {
    if (bitmap.Format() == imaging::PixelFormat::Indexed8) {
        const imaging::PaletteEntry& entry = bitmap.Palette().at(bitmap.Row(y)[x]);
        return {entry.red, entry.green, entry.blue};
    }
    const std::uint8_t* p = bitmap.Row(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void PutChunk(Bytes& png, const char* type, const Bytes& data) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(std::uint8_t(data.size() >> shift));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const std::uint32_t crc = Crc32(png.data() + start, png.size() - start);
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(std::uint8_t(crc >> shift));
}

// A PNG whose header claims the size; its pixel data is a stub.
Bytes PngClaiming(std::uint32_t width, std::uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header(13);
    for (int i = 0; i < 4; ++i) {
        header[i] = std::uint8_t(width >> (24 - 8 * i));
        header[4 + i] = std::uint8_t(height >> (24 - 8 * i));
    }
    header[8] = 8;  // bits per channel
    header[9] = 2;  // RGB
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    PutChunk(png, "IEND", {});
    return png;
}

std::string DecodeError(const Bytes& bytes) {
    try {
        pictures::DecodePicture(bytes);
    } catch (const imaging::EInvalidGraphic& error) {
        return error.what();
    }
    return "decoded";
}

// Two frames of 2 x 1 over a red and blue palette: red, blue first, then blue, red.
// clang-format off
const Bytes kTwoFrameGif = {
    'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF,
    0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44, 0x0A, 0,  // codes: clear, 0, 1, end
    0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x0C, 0x0A, 0,  // codes: clear, 1, 0, end
    0x3B};
// clang-format on

TEST(PictureFilesTest, OtherFormatsDecodeToTheirPixels) {
    // djpeg's BMP of a JPEG (bottom-up, rows padded to four bytes) holds the pixels the core
    // decoder makes of that JPEG (tests/imaging/jpeg_image_test.cpp checks it byte for byte).
    const imaging::Bitmap bmp = pictures::DecodePicture(Read("baseline_small.bmp"));
    const imaging::Bitmap jpeg = pictures::DecodePicture(Read("baseline_small.jpg"));
    ASSERT_TRUE(bmp.Width() == 101 && bmp.Height() == 67);
    ASSERT_TRUE(jpeg.Width() == 101 && jpeg.Height() == 67);
    for (int i = 0; i < 101 * 67; ++i)
        ASSERT_EQ(RgbAt(bmp, i % 101, i / 101), RgbAt(jpeg, i % 101, i / 101)) << i;
    const imaging::Bitmap gif = pictures::DecodePicture(kTwoFrameGif);
    ASSERT_TRUE(gif.Width() == 2 && gif.Height() == 1);
    EXPECT_EQ(RgbAt(gif, 0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(RgbAt(gif, 1, 0), (Rgb{0, 0, 255}));
}

TEST(PictureFilesTest, AHugeOrBrokenPictureIsRefusedWithItsReason) {
    EXPECT_EQ(DecodeError(PngClaiming(30000, 20000)), "too large (30000 × 20000)");
    Bytes garbage(300, 0x5A);
    EXPECT_EQ(DecodeError(garbage), "not a picture");
    Bytes cut = Read("baseline_small.bmp");
    cut.resize(20);
    EXPECT_EQ(DecodeError(cut), "not a picture");
}

TEST(PictureFilesTest, JpegIsKnownByItsContentAndDecodesAtTheCoveringScale) {
    const struct Scratch {
        fs::path path = "photo_in_a_png_name.png";
        ~Scratch() { fs::remove(path); }
    } named_png;
    fs::copy_file(jpeg_test::TestFile("color_480.jpg"), named_png.path,
                  fs::copy_options::overwrite_existing);
    // Only the core decoder scales while it decodes: a quarter still covers 120.
    const imaging::Bitmap quarter = pictures::LoadPictureFile(named_png.path, 120);
    const imaging::Bitmap full = pictures::LoadPictureFile(named_png.path);
    EXPECT_TRUE(quarter.Width() == 120 && quarter.Height() == 120);
    EXPECT_TRUE(full.Width() == 480 && full.Height() == 480);
}

TEST(PictureFilesTest, FramePngIsOneBitAndHoldsEveryBit) {
    Bytes frame(testing_support::kFrameBytes);
    std::mt19937 rng(5);
    for (std::uint8_t& byte : frame) byte = static_cast<std::uint8_t>(rng());
    const Bytes png = pictures::EncodeFramePng(frame);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[24], 1) << "bit depth";  // in the header chunk, after the size
    const imaging::Bitmap image = pictures::DecodePicture(png);
    ASSERT_TRUE(image.Width() == 480 && image.Height() == 480);
    for (int i = 0; i < 480 * 480; ++i) {
        const bool set = testing_support::FrameBit(frame, i % 480, i / 480);
        ASSERT_EQ(RgbAt(image, i % 480, i / 480), (set ? Rgb{255, 255, 255} : Rgb{0, 0, 0})) << i;
    }
}

}  // namespace

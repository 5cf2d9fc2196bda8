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

Bytes operator+(Bytes bytes, const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}
Bytes operator""_b(const char* text, std::size_t size) {
    return {text, text + size};
}
// `value` in `size` bytes, little-endian unless `big`.
Bytes Num(std::uint32_t value, int size, bool big = false) {
    Bytes out(size);
    for (int i = 0; i < size; ++i) out[big ? size - 1 - i : i] = std::uint8_t(value >> 8 * i);
    return out;
}

// Headers claiming a size; the pixels they lead to are not there.
Bytes Png(std::uint32_t w, std::uint32_t h) {
    return "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR"_b + Num(w, 4, true) + Num(h, 4, true) + Bytes(5);
}
Bytes Icon(int type, const Bytes& picture) {  // of one picture; 1: an icon, 2: a cursor
    return Num(type << 16, 4) + Num(1, 2) + Bytes(8) + Num(picture.size(), 4) + Num(22, 4) +
           picture;
}
// A screen over a red and blue palette, an extension, a 2 x 1 frame (red, blue) and a
// second frame (blue, red where it is 2 x 1).
Bytes Gif(int sw, int sh, int fw, int fh) {
    return "GIF89a"_b + Num(sw, 2) + Num(sh, 2) + "\x80\0\0\xFF\0\0\0\0\xFF\x21\xF9\4\0\0\0\0\0"_b +
           "\x2C\0\0\0\0\2\0\1\0\0\2\2\x44\x0A\0\x2C\0\0\0\0"_b + Num(fw, 2) + Num(fh, 2) +
           "\0\2\2\x0C\x0A\0\x3B"_b;
}
// A TIFF-like file whose first directory holds a 16-bit width and a 32-bit height.
Bytes Directory(const Bytes& magic, bool big, int w_tag, int h_tag, int w, int h) {
    return magic + Num(8, 4, big) + Num(2, 2, big) + Num(w_tag, 2, big) + Num(3, 2, big) +
           Num(1, 4, big) + Num(w, 2, big) + Bytes(2) + Num(h_tag, 2, big) + Num(4, 2, big) +
           Num(1, 4, big) + Num(h, 4, big);
}

std::string DecodeError(const Bytes& bytes) {
    try {
        pictures::DecodePicture(bytes);
    } catch (const imaging::EInvalidGraphic& error) {
        return error.what();
    }
    return "decoded";
}

TEST(PictureFilesTest, OtherFormatsDecodeToTheirPixels) {
    // djpeg's BMP of a JPEG (bottom-up, rows padded to four bytes) holds the pixels the core
    // decoder makes of that JPEG (tests/imaging/jpeg_image_test.cpp checks it byte for byte).
    const imaging::Bitmap bmp = pictures::DecodePicture(Read("baseline_small.bmp"));
    const imaging::Bitmap jpeg = pictures::DecodePicture(Read("baseline_small.jpg"));
    ASSERT_TRUE(bmp.Width() == 101 && bmp.Height() == 67);
    ASSERT_TRUE(jpeg.Width() == 101 && jpeg.Height() == 67);
    for (int i = 0; i < 101 * 67; ++i)
        ASSERT_EQ(RgbAt(bmp, i % 101, i / 101), RgbAt(jpeg, i % 101, i / 101)) << i;
    const imaging::Bitmap gif = pictures::DecodePicture(Gif(2, 1, 2, 1));
    ASSERT_TRUE(gif.Width() == 2 && gif.Height() == 1);
    EXPECT_EQ(RgbAt(gif, 0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(RgbAt(gif, 1, 0), (Rgb{0, 0, 255}));
}

// Every format is sized from its header before a reader sees it, the same way on every
// platform; what cannot be sized is no picture.
TEST(PictureFilesTest, HeadersAreSizedBeforeDecodingAndAHugeOrBrokenPictureIsRefused) {
    const auto first = [](Bytes bytes, std::size_t count) { return bytes.resize(count), bytes; };
    const Bytes bmp = "BM"_b + Bytes(12);
    const std::pair<Bytes, const char*> cases[] = {
        {Png(30000, 20000), "too large (30000 × 20000)"},
        {Icon(1, Png(30000, 30000)), "too large (30000 × 30000)"},
        {Icon(2, Num(40, 4) + Num(9000, 4) + Num(2 * 9000, 4)), "too large (9000 × 9000)"},
        {bmp + Num(40, 4) + Num(10000, 4) + Num(-5000, 4), "too large (10000 × 5000)"},
        {bmp + Num(12, 4) + Num(60000, 2) + Num(900, 2), "too large (60000 × 900)"},
        {Gif(8000, 8000, 2, 1), "too large (8000 × 8000)"},
        {Gif(2, 1, 9000, 9000), "too large (9000 × 9000)"},
        {Directory("II*\0"_b, false, 256, 257, 40000, 40000), "too large (40000 × 40000)"},
        {Directory("MM\0*"_b, true, 256, 257, 6000, 6000), "too large (6000 × 6000)"},
        {Directory("II\xBC\x01"_b, false, 0xBC80, 0xBC81, 9000, 9000), "too large (9000 × 9000)"},
        {"DDS "_b + Num(124, 4) + Bytes(4) + Num(7000, 4) + Num(8000, 4),
         "too large (8000 × 7000)"},
        {"P6\n# comment\n40000 30000\n255\n"_b, "too large (40000 × 30000)"},
        {"\x89PNG\r\n\x1A\n\0\0\0\x0DIDAT"_b + Png(9, 9), "not a picture"},  // no header chunk
        {first(Icon(1, Png(30000, 30000)), 30), "not a picture"},  // its picture past the end
        {Directory("II*\0"_b, false, 256, 999, 9000, 9000), "not a picture"},  // no height
        {first(Read("baseline_small.bmp"), 20), "not a picture"},
        {"\0\0\2"_b + Bytes(9) + "\1\0\1\0\x18\0\x09\x09\x09"_b, "not a picture"},  // TGA: no size
        {Bytes(300, 0x5A), "not a picture"},
    };
    for (const auto& [bytes, refusal] : cases)
        EXPECT_EQ(DecodeError(bytes), refusal) << bytes.size() << " bytes";
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

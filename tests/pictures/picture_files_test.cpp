#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <filesystem>
#include <random>

#include "pictures/picture_codec.h"
#include "pictures/picture_files.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

QRgb RgbAt(const imaging::Bitmap& bitmap, int x, int y) {
    if (bitmap.Format() == imaging::PixelFormat::Indexed8) {
        const imaging::PaletteEntry& entry = bitmap.Palette().at(bitmap.Row(y)[x]);
        return qRgb(entry.red, entry.green, entry.blue);
    }
    const std::uint8_t* p = bitmap.Row(y) + 3 * x;
    return qRgb(p[2], p[1], p[0]);
}

Bytes Encoded(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return {data.begin(), data.end()};
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
    QImage picture(3, 2, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0),  qRgb(0, 255, 0),     qRgb(0, 0, 255),
                            qRgb(9, 99, 199), qRgb(255, 255, 255), qRgb(0, 0, 0)};
    for (int i = 0; i < 6; ++i) picture.setPixel(i % 3, i / 3, colours[i]);
    for (const char* format : {"PNG", "BMP", "PPM"}) {
        const imaging::Bitmap decoded = pictures::DecodePicture(Encoded(picture, format));
        ASSERT_TRUE(decoded.Width() == 3 && decoded.Height() == 2) << format;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(RgbAt(decoded, i % 3, i / 3), colours[i]) << format;
    }
    const imaging::Bitmap gif = pictures::DecodePicture(kTwoFrameGif);
    ASSERT_TRUE(gif.Width() == 2 && gif.Height() == 1);
    EXPECT_TRUE(RgbAt(gif, 0, 0) == qRgb(255, 0, 0) && RgbAt(gif, 1, 0) == qRgb(0, 0, 255));
}

TEST(PictureFilesTest, JpegIsKnownByItsContentAndDecodesAtTheCoveringScale) {
    const struct Scratch {
        fs::path path = "photo_in_a_png_name.png";
        ~Scratch() { fs::remove(path); }
    } named_png;
    fs::copy_file(fs::path(JPEG_TEST_DATA_DIR) / "color_480.jpg", named_png.path,
                  fs::copy_options::overwrite_existing);
    // Only the core decoder scales while it decodes: a quarter still covers 120.
    const imaging::Bitmap quarter = pictures::LoadPictureFile(named_png.path, 120);
    const imaging::Bitmap full = pictures::LoadPictureFile(named_png.path);
    EXPECT_TRUE(quarter.Width() == 120 && quarter.Height() == 120);
    EXPECT_TRUE(full.Width() == 480 && full.Height() == 480);
}

TEST(PictureFilesTest, FramePngIsOneBitAndHoldsEveryBit) {
    Bytes frame(480 / 8 * 480);
    std::mt19937 rng(5);
    for (std::uint8_t& byte : frame) byte = static_cast<std::uint8_t>(rng());
    const Bytes png = pictures::EncodeFramePng(frame);
    const QImage image = QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG");
    ASSERT_EQ(image.size(), QSize(480, 480));
    EXPECT_EQ(image.depth(), 1);
    for (int i = 0; i < 480 * 480; ++i) {
        const bool set = frame[i / 8] & (0x80 >> (i % 8));
        ASSERT_EQ(image.pixel(i % 480, i / 480) == qRgb(255, 255, 255), set) << i;
    }
}

}  // namespace

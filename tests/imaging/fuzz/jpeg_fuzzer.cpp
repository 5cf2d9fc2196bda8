// libFuzzer target: any bytes through TJPEGImage::LoadStream and DecodeBitmap, at both
// decode depths. Only EJPEG may come out; anything else, or a broken bitmap, is a crash.

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "imaging/jpeg_image.h"

namespace {

// Larger claimed sizes are only refused or slow; the unit tests cover them.
constexpr std::uint64_t kMaxFuzzedPixels = std::uint64_t{1} << 19;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckBitmap(const imaging::TJPEGImage& picture, const imaging::Bitmap& bitmap,
                 int header_width, int header_height, bool decode_failed) {
    if (bitmap.IsEmpty()) {
        Require(decode_failed || header_width == 0 || header_height == 0);
        return;
    }
    Require(bitmap.Width() == header_width && bitmap.Height() == header_height);
    Require(picture.ImageWidth() == header_width && picture.ImageHeight() == header_height);
    const bool indexed = picture.Depth() == 8 || picture.Data()->Grayscale();
    Require(bitmap.Format() ==
            (indexed ? imaging::PixelFormat::Indexed8 : imaging::PixelFormat::Bgr24));
    if (bitmap.Format() == imaging::PixelFormat::Indexed8) {
        const std::size_t colours = bitmap.Palette().size();
        Require(colours >= 1 && colours <= 236);
        for (int y = 0; y < bitmap.Height(); ++y) {
            for (int x = 0; x < bitmap.Width(); ++x) {
                Require(bitmap.Row(y)[x] < colours);
            }
        }
    }
}

void LoadAndDecode(const std::string& bytes) {
    std::istringstream stream(bytes);
    imaging::TJPEGImage picture;
    try {
        picture.LoadStream(stream);
    } catch (const imaging::EJPEG&) {
        return;
    }
    Require(picture.Data()->Bytes().size() == bytes.size());
    const int width = picture.ImageWidth();
    const int height = picture.ImageHeight();
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxFuzzedPixels) {
        return;
    }
    bool failed = false;
    try {
        picture.DecodeBitmap();
    } catch (const imaging::EJPEG&) {
        failed = true;
    }
    // A second request neither decodes nor raises.
    const imaging::Bitmap& bitmap = picture.DecodeBitmap();
    CheckBitmap(picture, bitmap, width, height, failed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const int screen_bits : {32, 8}) {
        imaging::ComputeDefaultJPEGDepth(screen_bits);
        LoadAndDecode(bytes);
    }
    return 0;
}

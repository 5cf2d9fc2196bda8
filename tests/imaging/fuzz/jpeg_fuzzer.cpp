// libFuzzer target: any bytes through TJPEGImage::LoadStream and DecodeBitmap at both depths.
// Only EJPEG may come out; anything else, or an inconsistent bitmap, is a crash.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "imaging/jpeg_image.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
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
    if (static_cast<std::uint64_t>(width) * height > (1u << 19)) {
        return;  // only refused or slow
    }
    bool failed = false;
    try {
        picture.DecodeBitmap();
    } catch (const imaging::EJPEG&) {
        failed = true;
    }
    const imaging::Bitmap& bitmap = picture.DecodeBitmap();  // neither decodes nor raises
    if (bitmap.IsEmpty()) {
        Require(failed || width == 0 || height == 0);
        return;
    }
    Require(bitmap.Width() == width && bitmap.Height() == height);
    const bool indexed = picture.Depth() == 8 || picture.Data()->Grayscale();
    Require(bitmap.Format() ==
            (indexed ? imaging::PixelFormat::Indexed8 : imaging::PixelFormat::Bgr24));
    if (indexed) {
        const std::size_t colours = bitmap.Palette().size();
        Require(colours >= 1 && colours <= 236);
        for (int y = 0; y < height; ++y) {
            Require(std::all_of(bitmap.Row(y), bitmap.Row(y) + width,
                                [colours](std::uint8_t index) { return index < colours; }));
        }
    }
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

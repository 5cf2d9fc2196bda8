// Replays the fuzzer's kept inputs: each must load and decode, at both depths, to either a
// consistent bitmap or an EJPEG. Memory errors show up in the sanitizer build.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/jpeg_image.h"
#include "jpeg_test_support.h"

namespace {

using imaging::Bitmap;
using imaging::EJPEG;
using imaging::PixelFormat;
using imaging::TJPEGImage;

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(JPEG_FUZZ_CORPUS_DIR)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    return files;
}

void ExpectConsistentDecode(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    TJPEGImage picture;
    try {
        picture.LoadStream(stream);
    } catch (const EJPEG&) {
        return;
    }
    const int width = picture.ImageWidth();
    const int height = picture.ImageHeight();
    if (static_cast<std::uint64_t>(width) * height > (std::uint64_t{1} << 22)) {
        return;  // refused or slow, not interesting here
    }
    bool failed = false;
    try {
        picture.DecodeBitmap();
    } catch (const EJPEG&) {
        failed = true;
    }
    const Bitmap& bitmap = picture.DecodeBitmap();
    if (bitmap.IsEmpty()) {
        EXPECT_TRUE(failed || width == 0 || height == 0);
        return;
    }
    EXPECT_EQ(bitmap.Width(), width);
    EXPECT_EQ(bitmap.Height(), height);
    const bool indexed = picture.Depth() == 8 || picture.Data()->Grayscale();
    EXPECT_EQ(bitmap.Format(), indexed ? PixelFormat::Indexed8 : PixelFormat::Bgr24);
    if (bitmap.Format() == PixelFormat::Indexed8) {
        EXPECT_LE(bitmap.Palette().size(), 236u);
    }
}

TEST(JpegCorpusTest, EveryKeptInputDecodesOrRaisesEJpeg) {
    const std::vector<std::filesystem::path> files = CorpusFiles();
    ASSERT_GE(files.size(), 10u);
    for (const int screen_bits : {32, 8}) {
        jpeg_test::DefaultDepthScope depth(screen_bits);
        for (const std::filesystem::path& file : files) {
            SCOPED_TRACE(file.filename().string());
            EXPECT_NO_FATAL_FAILURE(ExpectConsistentDecode(file));
        }
    }
}

}  // namespace

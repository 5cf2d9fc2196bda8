#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"

namespace jpeg_test {

inline std::filesystem::path TestFile(std::string_view name) {
    return std::filesystem::path(JPEG_TEST_DATA_DIR) / name;
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>());
}

// A BMP file as djpeg writes it: pixel bytes of each row without padding, top row first.
struct BmpImage {
    int width = 0;
    int height = 0;
    int bits_per_pixel = 0;
    std::vector<imaging::PaletteEntry> palette;
    std::vector<std::vector<std::uint8_t>> rows;
};

inline std::uint32_t LittleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                  int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | bytes.at(at + static_cast<std::size_t>(i));
    }
    return value;
}

inline BmpImage ReadBmp(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    BmpImage image;
    const std::uint32_t pixel_offset = LittleEndian(bytes, 10, 4);
    const std::uint32_t info_size = LittleEndian(bytes, 14, 4);
    image.width = static_cast<int>(LittleEndian(bytes, 18, 4));
    const auto stored_height = static_cast<std::int32_t>(LittleEndian(bytes, 22, 4));
    image.height = stored_height < 0 ? -stored_height : stored_height;
    image.bits_per_pixel = static_cast<int>(LittleEndian(bytes, 28, 2));
    if (image.bits_per_pixel == 8) {
        std::uint32_t colours = LittleEndian(bytes, 46, 4);
        colours = colours == 0 ? 256 : colours;
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::size_t at = 14 + info_size + 4 * i;
            image.palette.push_back({bytes.at(at + 2), bytes.at(at + 1), bytes.at(at)});
        }
    }
    const std::size_t row_bytes = static_cast<std::size_t>(image.width) * image.bits_per_pixel / 8;
    const std::size_t stride = (row_bytes + 3) & ~std::size_t{3};
    for (int y = 0; y < image.height; ++y) {
        const int stored_row = stored_height > 0 ? image.height - 1 - y : y;
        const auto begin = bytes.begin() + pixel_offset + stored_row * stride;
        image.rows.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(row_bytes));
    }
    return image;
}

inline std::vector<std::uint8_t> PixelRow(const imaging::Bitmap& bitmap, int y) {
    const std::uint8_t* row = bitmap.Row(y);
    return std::vector<std::uint8_t>(row, row + bitmap.Width() * bitmap.BytesPerPixel());
}

// Sets the program-wide default decode depth for one test and puts 24 back afterwards.
class DefaultDepthScope {
public:
    explicit DefaultDepthScope(std::optional<int> screen_bits) {
        imaging::ComputeDefaultJPEGDepth(screen_bits);
    }
    ~DefaultDepthScope() { imaging::ComputeDefaultJPEGDepth(std::nullopt); }
};

inline std::unique_ptr<imaging::TJPEGImage> LoadTestJpeg(std::string_view name) {
    auto picture = std::make_unique<imaging::TJPEGImage>();
    picture->LoadFromFile(TestFile(name));
    return picture;
}

// The libjpeg message code of the EJPEG that action raises, or -1 (and a failure) if it
// raises none. Also checks the message text.
template <typename Action>
int JpegErrorCodeOf(Action&& action) {
    try {
        action();
    } catch (const imaging::EJPEG& error) {
        EXPECT_EQ(std::string(error.what()), "JPEG error #" + std::to_string(error.Code()));
        return error.Code();
    }
    ADD_FAILURE() << "no EJPEG was raised";
    return -1;
}

}  // namespace jpeg_test

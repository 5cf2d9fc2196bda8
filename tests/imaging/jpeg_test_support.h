#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace jpeg_test {

inline std::filesystem::path TestFile(std::string_view name) {
    return std::filesystem::path(JPEG_TEST_DATA_DIR) / name;
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace jpeg_test

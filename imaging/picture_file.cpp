#include "imaging/picture_file.h"

#include <fstream>
#include <system_error>

namespace imaging {

namespace {

std::uintmax_t CheckedSize(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) {
        throw EPictureFile(path, error.message());
    }
    // Opening a FIFO or a device would wait for a writer, and a folder has no bytes.
    if (!std::filesystem::is_regular_file(status)) {
        throw EPictureFile(path, "not a regular file");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        throw EPictureFile(path, error.message());
    }
    if (size > kMaxPictureFileBytes) {
        throw EPictureFile(path, "larger than 64 MiB");
    }
    return size;
}

}  // namespace

std::vector<std::uint8_t> ReadPictureFile(const std::filesystem::path& path) {
    const std::uintmax_t size = CheckedSize(path);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw EPictureFile(path, "cannot be opened");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (file.gcount() != static_cast<std::streamsize>(size)) {
        throw EPictureFile(path, "read error");
    }
    return bytes;
}

}  // namespace imaging

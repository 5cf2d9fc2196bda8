#include "imaging/picture_file.h"

#include <fstream>
#include <system_error>

namespace imaging {

namespace {

std::string EnglishReason(PictureProblem problem, const std::string& detail) {
    switch (problem) {
        case PictureProblem::NotRegularFile:
            return "not a regular file";
        case PictureProblem::TooLarge:
            return "larger than 64 MiB";
        case PictureProblem::CannotOpen:
            return "cannot be opened";
        case PictureProblem::ReadFailed:
            return "read error";
        case PictureProblem::NotAPicture:
            return "not a picture";
        case PictureProblem::PictureTooLarge:
            return "too large (" + detail + ")";
        case PictureProblem::Missing:
        case PictureProblem::SystemError:
            break;
    }
    return detail;
}

std::string Message(const std::filesystem::path& path, const std::string& reason) {
    return path.empty() ? reason : "Cannot read picture \"" + PathText(path) + "\": " + reason;
}

[[noreturn]] void Refuse(const std::filesystem::path& path, const std::error_code& error) {
    throw EPictureFile(path,
                       error == std::errc::no_such_file_or_directory ? PictureProblem::Missing
                                                                     : PictureProblem::SystemError,
                       error.message());
}

std::uintmax_t CheckedSize(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) {
        Refuse(path, error);
    }
    // Opening a FIFO or a device would wait for a writer, and a folder has no bytes.
    if (!std::filesystem::is_regular_file(status)) {
        throw EPictureFile(path, PictureProblem::NotRegularFile);
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        Refuse(path, error);
    }
    if (size > kMaxPictureFileBytes) {
        throw EPictureFile(path, PictureProblem::TooLarge);
    }
    return size;
}

}  // namespace

EPictureFile::EPictureFile(const std::filesystem::path& path, PictureProblem problem,
                           std::string detail)
    : EInvalidGraphic(Message(path, EnglishReason(problem, detail))),
      m_path(path),
      m_problem(problem),
      m_detail(std::move(detail)) {}

std::string EPictureFile::Reason() const {
    return EnglishReason(m_problem, m_detail);
}

std::vector<std::uint8_t> ReadPictureFile(const std::filesystem::path& path) {
    const std::uintmax_t size = CheckedSize(path);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw EPictureFile(path, PictureProblem::CannotOpen);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (file.gcount() != static_cast<std::streamsize>(size)) {
        throw EPictureFile(path, PictureProblem::ReadFailed);
    }
    return bytes;
}

}  // namespace imaging

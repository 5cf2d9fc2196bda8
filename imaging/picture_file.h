#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/graphic.h"

namespace imaging {

// Picture files larger than this are refused unread: nothing the module shows needs more,
// and a picture is kept in memory whole while it is shown.
inline constexpr std::uintmax_t kMaxPictureFileBytes = std::uintmax_t{64} << 20;

// A path as UTF-8 text for messages, whatever the system's own encoding of names (on
// Windows, path::string() would give the ANSI code page, or throw).
inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Why a picture cannot be had, for each program to word in its own language.
enum class PictureProblem {
    Missing,          // no such file; the detail is the system's words
    NotRegularFile,   // a folder, a FIFO, a device
    TooLarge,         // more than kMaxPictureFileBytes
    CannotOpen,       // no permission, say
    ReadFailed,       // the file ended early
    NotAPicture,      // bytes that no reader takes
    PictureTooLarge,  // a picture beyond the readers' limit; the detail is "W × H"
    SystemError,      // the detail is the system's words
};

// A picture that cannot be had: from a file that cannot be read (with its path), or bytes
// that are no picture the readers take (a file's, the clipboard's, standard input's). Its
// message is English, for lcdctl; the panel words the problem itself.
class EPictureFile : public EInvalidGraphic {
public:
    explicit EPictureFile(PictureProblem problem, std::string detail = {})
        : EPictureFile({}, problem, std::move(detail)) {}
    EPictureFile(const std::filesystem::path& path, PictureProblem problem,
                 std::string detail = {});

    const std::filesystem::path& Path() const { return m_path; }
    PictureProblem Problem() const { return m_problem; }
    const std::string& Detail() const { return m_detail; }
    // In lcdctl's words: "not a picture", "larger than 64 MiB", the system's words...
    std::string Reason() const;

private:
    std::filesystem::path m_path;
    PictureProblem m_problem;
    std::string m_detail;
};

// The whole file, once its type and size are known to be safe to read: a regular file of
// at most kMaxPictureFileBytes. Raises EPictureFile otherwise.
std::vector<std::uint8_t> ReadPictureFile(const std::filesystem::path& path);

}  // namespace imaging

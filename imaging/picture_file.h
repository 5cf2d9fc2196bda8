#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

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

// A picture file that cannot be read: missing, no regular file (a folder, a FIFO, a
// device), too large, or failing while read.
class EPictureFile : public std::runtime_error {
public:
    EPictureFile(const std::filesystem::path& path, const std::string& reason)
        : std::runtime_error("Cannot read picture \"" + PathText(path) + "\": " + reason),
          m_reason(reason) {}
    const std::string& Reason() const { return m_reason; }

private:
    std::string m_reason;
};

// The whole file, once its type and size are known to be safe to read: a regular file of
// at most kMaxPictureFileBytes. Raises EPictureFile otherwise.
std::vector<std::uint8_t> ReadPictureFile(const std::filesystem::path& path);

}  // namespace imaging

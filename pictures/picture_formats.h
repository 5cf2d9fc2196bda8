#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The picture formats the readers take, named once for the file dialogs and the desktop
// entry.
namespace pictures {

struct PictureFormat {
    std::vector<std::string> suffixes;  // lower case, without the dot
    std::string mime_type;
};

// JPEG first, which the core decodes on every platform, then what the platform's readers
// take (picture_codec.h).
std::vector<PictureFormat> ReadableFormats();

// Every suffix of the readable formats as a file dialog's pattern ("*.jpg"), each once,
// joined by `separator`.
std::string DialogPatterns(std::string_view separator);

// A name with one of JPEG's suffixes, in any case.
bool HasJpegSuffix(const std::filesystem::path& path);

}  // namespace pictures

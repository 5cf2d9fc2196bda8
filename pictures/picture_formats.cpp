#include "pictures/picture_formats.h"

#include <algorithm>
#include <cctype>

#include "pictures/picture_codec.h"

namespace pictures {

namespace {

PictureFormat Jpeg() {
    return {{"jpg", "jpeg"}, "image/jpeg"};
}

// The name's suffix without its dot, in lower case; UTF-8, which any name converts to.
std::string LowerSuffix(const std::filesystem::path& path) {
    const std::u8string extension = path.extension().u8string();
    std::string suffix(extension.begin() + (extension.empty() ? 0 : 1), extension.end());
    std::ranges::transform(suffix, suffix.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix;
}

}  // namespace

std::vector<PictureFormat> ReadableFormats() {
    std::vector<PictureFormat> formats = {Jpeg()};
    for (PictureFormat& format : OtherReadableFormats()) {
        formats.push_back(std::move(format));
    }
    return formats;
}

std::string DialogPatterns(std::string_view separator) {
    std::vector<std::string> suffixes;
    std::string patterns;
    for (const PictureFormat& format : ReadableFormats()) {
        for (const std::string& suffix : format.suffixes) {
            if (std::ranges::find(suffixes, suffix) != suffixes.end()) {
                continue;
            }
            suffixes.push_back(suffix);
            patterns.append(patterns.empty() ? "" : separator).append("*.").append(suffix);
        }
    }
    return patterns;
}

bool HasJpegSuffix(const std::filesystem::path& path) {
    const std::vector<std::string> jpeg = Jpeg().suffixes;
    return std::ranges::find(jpeg, LowerSuffix(path)) != jpeg.end();
}

}  // namespace pictures

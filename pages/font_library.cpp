#include "pages/font_library.h"

#include <stdexcept>

#include "imaging/picture_file.h"

namespace pages {

namespace {

// Each name's faces, the larger bitmap strikes first so that a size both divide is drawn
// with more detail; a face is the first of its files that is installed. Unifont's bitmap
// (xfonts-unifont) gives its exact pixels at every size; without it the outline build
// (fonts-unifont) gives the same at 16 px and its multiples. Its upper planes come as
// outlines only, exact at 16 px.
const std::map<std::string, std::vector<std::vector<std::string>>, std::less<>> kNamedFonts = {
    {"unifont", {{"unifont.pcf.gz", "unifont.otf"}, {"unifont_upper.otf"}}},
    {"wqy",
     {{"wenquanyi_12pt.pcf"}, {"wenquanyi_11pt.pcf"}, {"wenquanyi_13px.pcf"},
      {"wenquanyi_10pt.pcf"}, {"wenquanyi_9pt.pcf"}}},
};

// The first of the files found in the folders.
std::optional<std::string> Installed(const std::vector<std::string>& files,
                                     const std::vector<std::filesystem::path>& folders) {
    for (const std::string& file : files) {
        for (const std::filesystem::path& folder : folders) {
            std::error_code error;
            if (std::filesystem::is_regular_file(folder / file, error)) {
                return imaging::PathText(folder / file);
            }
        }
    }
    return std::nullopt;
}

}  // namespace

FontLibrary::FontLibrary(std::vector<std::filesystem::path> folders)
    : m_folders(std::move(folders)) {}

FontLibrary::~FontLibrary() = default;

std::vector<std::string> FontLibrary::PathsOf(const std::string& name) const {
    if (name.find_first_of("/\\") != std::string::npos) {
        return {name};
    }
    const auto named = kNamedFonts.find(name);
    if (named == kNamedFonts.end()) {
        if (auto file = FamilyFile(name)) {
            return {*file};
        }
        throw std::runtime_error("no font is named " + name +
                                 ": use unifont, wqy, a font family the system has, or a path");
    }
    std::vector<std::string> paths;
    for (const std::vector<std::string>& face : named->second) {
        if (auto path = Installed(face, m_folders)) {
            paths.push_back(std::move(*path));
        }
    }
    if (paths.empty()) {
        throw std::runtime_error("the font " + name + " is not installed");
    }
    return paths;
}

FontStack& FontLibrary::Stack(const std::vector<std::string>& names) {
    std::vector<std::string> all = names;
    all.push_back("unifont");  // no character shows as a box while Unifont has it
    if (const auto found = m_stacks.find(all); found != m_stacks.end()) {
        return *found->second;
    }
    std::vector<std::string> paths;
    for (const std::string& name : all) {
        const std::vector<std::string> more = PathsOf(name);
        paths.insert(paths.end(), more.begin(), more.end());
    }
    auto stack = std::make_unique<FontStack>(paths);
    return *m_stacks.emplace(std::move(all), std::move(stack)).first->second;
}

}  // namespace pages

#include "pages/font_library.h"

#include <stdexcept>

#include "imaging/picture_file.h"

namespace pages {

namespace {

// Each name's files, the larger bitmap strikes first so that a size both divide is drawn
// with more detail. Unifont's upper planes come as outlines that are exact at 16 px.
const std::map<std::string, std::vector<std::string>, std::less<>> kNamedFonts = {
    {"unifont", {"unifont.pcf.gz", "unifont_upper.otf"}},
    {"wqy",
     {"wenquanyi_12pt.pcf", "wenquanyi_11pt.pcf", "wenquanyi_13px.pcf", "wenquanyi_10pt.pcf",
      "wenquanyi_9pt.pcf"}},
};

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
    for (const std::string& file : named->second) {
        for (const std::filesystem::path& folder : m_folders) {
            std::error_code error;
            if (std::filesystem::is_regular_file(folder / file, error)) {
                paths.push_back(imaging::PathText(folder / file));
                break;
            }
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

#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pages/font_stack.h"

namespace pages {

// Fonts by the names pages give them. "unifont" and "wqy" are bitmap fonts found in the
// folders given; anything with a slash is a font file's path; any other name is a family the
// system has installed. Each list of names becomes a
// FontStack that ends in Unifont, kept for the next page that asks for the same list.
class FontLibrary {
public:
    explicit FontLibrary(std::vector<std::filesystem::path> folders);
    ~FontLibrary();

    // The folders Debian installs the bitmap fonts in.
    static std::vector<std::filesystem::path> SystemFolders();
    // The file of an installed font family ("DejaVu Sans Mono"), as the system finds it:
    // fontconfig on Linux; nullopt when it has no such family, or no way to look.
    static std::optional<std::string> FamilyFile(const std::string& family);

    // The fonts for a list of names; std::runtime_error names one that cannot be found or
    // opened.
    FontStack& Stack(const std::vector<std::string>& names);

private:
    std::vector<std::string> PathsOf(const std::string& name) const;

    std::vector<std::filesystem::path> m_folders;
    std::map<std::vector<std::string>, std::unique_ptr<FontStack>> m_stacks;
};

}  // namespace pages

#include <windows.h>

#include <string>

#include "pages/font_library.h"

namespace pages {

// Windows installs none of these fonts: they travel in a "fonts" folder beside the program.
std::vector<std::filesystem::path> FontLibrary::SystemFolders() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // a long path was cut short
    }
    return {std::filesystem::path(path).parent_path() / L"fonts"};
}

// Windows has no fontconfig: a page names an installed font by its file's path.
std::optional<std::string> FontLibrary::FamilyFile(const std::string&) {
    return std::nullopt;
}

}  // namespace pages

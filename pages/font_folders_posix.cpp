#include <fontconfig/fontconfig.h>

#include <memory>

#include "pages/font_library.h"

namespace pages {

std::vector<std::filesystem::path> FontLibrary::SystemFolders() {
    return {"/usr/share/fonts/X11/misc", "/usr/share/fonts/opentype/unifont"};
}

// fontconfig always offers something; only a font of the family asked for is taken, so that
// a misspelt name is told rather than drawn in another font.
std::optional<std::string> FontLibrary::FamilyFile(const std::string& family) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<FcConfig, decltype(&FcConfigDestroy)> owned(config, FcConfigDestroy);
    const std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(
        FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str())), FcPatternDestroy);
    if (!pattern) {
        return std::nullopt;
    }
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> match(
        FcFontMatch(config, pattern.get(), &result), FcPatternDestroy);
    FcChar8* found_family = nullptr;
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &found_family) != FcResultMatch ||
        FcStrCmpIgnoreCase(found_family, reinterpret_cast<const FcChar8*>(family.c_str())) != 0 ||
        FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(file));
}

}  // namespace pages

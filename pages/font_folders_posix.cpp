#include "pages/font_library.h"

namespace pages {

std::vector<std::filesystem::path> FontLibrary::SystemFolders() {
    return {"/usr/share/fonts/X11/misc", "/usr/share/fonts/opentype/unifont"};
}

}  // namespace pages

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "pictures/picture_formats.h"

namespace {

// The types the desktop entry offers the panel for: each one the readers take, so that no
// file manager hands the panel a file it cannot open.
TEST(DesktopEntryTest, OffersOnlyTypesTheReadersTake) {
    std::ifstream entry(DESKTOP_ENTRY);
    std::string line;
    while (std::getline(entry, line) && !line.starts_with("MimeType=")) {
    }
    std::istringstream offered(line.substr(line.find('=') + 1));
    const std::vector<pictures::PictureFormat> formats = pictures::ReadableFormats();
    int count = 0;
    for (std::string type; std::getline(offered, type, ';'); ++count) {
        EXPECT_TRUE(std::ranges::any_of(formats, [&](const pictures::PictureFormat& format) {
            return format.mime_type == type;
        })) << type;
    }
    EXPECT_GE(count, 2);
}

}  // namespace

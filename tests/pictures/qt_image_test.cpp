#include <gtest/gtest.h>

#include <QImageReader>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "pictures/claimed_size.h"
#include "pictures/picture_formats.h"
#include "pictures/qt_image.h"

// The clipboard names a picture past the toolkit reader's limit as too large; that limit
// is the one picture files are held to, so both refuse the same pictures.
TEST(QtImageTest, TheClipboardsReadLimitIsThePictureFilesLimit) {
    ASSERT_EQ(std::uint64_t(QImageReader::allocationLimit()) << 20,
              pictures::kMaxPicturePixels * 4);
    const std::pair<QSize, bool> cases[] = {
        {QSize(), true},  // a size the header does not tell is left to the reader
        {QSize(4096, 8192), true},
        {QSize(4096, 8193), false},
        {QSize(1, 70000000), false},
    };
    for (const auto& [size, within] : cases)
        EXPECT_EQ(pictures::WithinReadLimit(size), within) << size.width() << "×" << size.height();
}

// The desktop entry offers the panel only for types the readers take.
TEST(DesktopEntryTest, OffersOnlyTypesTheReadersTake) {
    std::ifstream entry(DESKTOP_ENTRY);
    std::string line;
    while (std::getline(entry, line) && !line.starts_with("MimeType=")) continue;
    std::istringstream offered(line.substr(line.find('=') + 1));
    int count = 0;
    for (std::string type; std::getline(offered, type, ';'); ++count)
        EXPECT_TRUE(std::ranges::any_of(pictures::ReadableFormats(), [&](const auto& format) {
            return format.mime_type == type;
        })) << type;
    EXPECT_GE(count, 2);
}

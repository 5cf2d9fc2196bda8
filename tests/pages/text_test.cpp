// Text at one bit: the fonts' own pixels, whole multiples, U+FFFD for bad bytes, fallback.
#include <gtest/gtest.h>

#include "pages/font_stack.h"
#include "pages/utf8.h"

namespace {

using pages::MonoCanvas;

MonoCanvas Drawn(const std::vector<std::string>& fonts, const std::string& utf8, int size) {
    pages::FontStack stack(fonts);
    MonoCanvas canvas(480, 160, false);
    stack.DrawLine(canvas, 0, 2 * size, pages::DecodeUtf8(utf8), size, true);
    return canvas;
}

MonoCanvas Doubled(const MonoCanvas& small) {
    MonoCanvas large(small.Width(), small.Height(), false);
    for (int y = 0; y < large.Height(); ++y) {
        for (int x = 0; x < large.Width(); ++x) large.Set(x, y, small.At(x / 2, y / 2));
    }
    return large;
}

TEST(TextTest, GlyphsAreTheFontsOwnPixels) {
    const std::string sample = "Aé中☃";
    const struct {
        const char* what;
        MonoCanvas drawn;
        MonoCanvas expected;
        bool same;
    } rows[] = {
        {"Unifont's outlines at 16 px are its bitmap", Drawn({UNIFONT_OUTLINES}, sample, 16),
         Drawn({UNIFONT_BITMAP}, sample, 16), true},
        {"32 px is the 16 px bitmap, each pixel doubled", Drawn({UNIFONT_BITMAP}, sample, 32),
         Doubled(Drawn({UNIFONT_BITMAP}, sample, 16)), true},
        {"a byte that is no UTF-8 shows as U+FFFD",
         Drawn({UNIFONT_BITMAP},
               "a\xff"
               "b",
               16),
         Drawn({UNIFONT_BITMAP}, "a\uFFFDb", 16), true},
        {"a character the first font lacks comes from the next",
         Drawn({WQY_BITMAP, UNIFONT_BITMAP}, "☃", 36), Drawn({UNIFONT_BITMAP}, "☃", 36), true},
        {"the first font that has a character draws it",
         Drawn({WQY_BITMAP, UNIFONT_BITMAP}, "A", 36), Drawn({UNIFONT_BITMAP}, "A", 36), false},
        {"a font that draws the size itself comes before one that comes close",
         Drawn({UNIFONT_BITMAP, WQY_BITMAP}, "A", 36), Drawn({WQY_BITMAP}, "A", 36), true},
        {"a bitmap font draws whole multiples of its size",
         Drawn({WQY_BITMAP, UNIFONT_BITMAP}, "A", 36), Drawn({WQY_BITMAP}, "A", 36), true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.drawn == row.expected, row.same) << row.what;
        EXPECT_FALSE(row.drawn == MonoCanvas(480, 160, false)) << row.what << ": nothing drawn";
    }
}

TEST(TextTest, BadUtf8BecomesOneReplacementPerMaximalRun) {
    const std::pair<std::string, std::u32string> rows[] = {
        {"a\xc3\xa9\xe4\xb8\xad", U"aé中"},
        {"\xc0\x80", U"\uFFFD\uFFFD"},  // overlong
        {"\xe4\xb8"
         "A",
         U"\uFFFDA"},                                       // cut short
        {"\xed\xa0\x80", U"\uFFFD\uFFFD\uFFFD"},            // a surrogate
        {"\xf4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xf0\x9f\x98\x80", U"\U0001F600"},
    };
    for (const auto& [bytes, expected] : rows) {
        EXPECT_EQ(pages::DecodeUtf8(bytes), expected);
    }
}

}  // namespace

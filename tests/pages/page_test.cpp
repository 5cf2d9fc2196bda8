// Pages: drawn frames against golden one-bit PNGs, the file's mistakes, fields' formats.
// PAGES_WRITE_GOLDENS=DIR writes the goldens instead (tools/regenerate_page_goldens.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "imaging/mono_frame.h"
#include "pages/base64.h"
#include "pages/page_deck.h"
#include "pages/page_drawing.h"
#include "pages/picture_cache.h"
#include "pages/value_format.h"
#include "pictures/picture_codec.h"
#include "pictures/picture_files.h"

namespace {

using namespace pages;

const char kElementsOnly[] = "[[page]]\nname = \"t\"\n";

struct GoldenRow {
    const char* name;
    const char* page;  // after [[page]] name = "t"
};

const GoldenRow kGoldens[] = {
    {"text_align", R"(
[[page.element]]
type = "rect"
x = 10
y = 10
width = 300
height = 100
[[page.element]]
type = "text"
x = 10
y = 10
width = 300
height = 100
text = "left\nmiddle {cpu.percent:.1f}%"
[[page.element]]
type = "text"
x = 10
y = 10
width = 300
height = 100
text = "centre {mem.used:bytes}"
align = "center"
valign = "middle"
[[page.element]]
type = "text"
x = 10
y = 10
width = 300
height = 100
text = "right {missing}"
align = "right"
valign = "bottom"
[[page.element]]
type = "text"
x = 10
y = 120
width = 300
height = 20
text = "inverted"
align = "center"
valign = "middle"
invert = true
)"},
    {"text_wrap_and_cut", R"(
[[page.element]]
type = "text"
x = 8
y = 8
width = 150
height = 48
text = "Words wrap at spaces, and an overlong_word_breaks_anywhere; what does not fit ends in an ellipsis"
wrap = true
[[page.element]]
type = "text"
x = 8
y = 80
width = 150
height = 32
text = "one line that is far too long for its box"
size = 32
)"},
    {"cjk_and_fallback", R"(
fonts = ["wqy"]
[[page.element]]
type = "text"
x = 8
y = 8
width = 120
height = 100
text = "中文在一位屏上清楚☃ Ab"
size = 24
wrap = true
[[page.element]]
type = "text"
x = 160
y = 8
width = 300
height = 32
text = "{bad}"
size = 32
)"},
    {"bars_and_graphs", R"(
background = "black"
[[page.element]]
type = "bar"
x = 10
y = 10
width = 100
height = 12
value = "cpu.percent"
[[page.element]]
type = "bar"
x = 10
y = 30
width = 12
height = 80
value = "cpu.percent"
[[page.element]]
type = "bar"
x = 30
y = 30
width = 100
height = 12
value = "cpu.percent"
direction = "left"
outline = false
[[page.element]]
type = "bar"
x = 30
y = 50
width = 100
height = 12
value = "missing"
[[page.element]]
type = "graph"
x = 140
y = 10
width = 120
height = 50
value = "series"
[[page.element]]
type = "graph"
x = 140
y = 70
width = 120
height = 50
value = "series"
min = 0
max = 20
samples = 5
)"},
    {"picture_rect_line", R"(
[[page.element]]
type = "picture"
x = 10
y = 10
width = 100
height = 60
path = "demo480x480-4.jpg"
[[page.element]]
type = "picture"
x = 120
y = 10
width = 60
height = 60
path = "demo480x480-4.jpg"
fit = "crop"
dither = "none"
invert = true
[[page.element]]
type = "rect"
x = 200
y = 10
width = 40
height = 30
fill = true
[[page.element]]
type = "line"
x1 = 250
y1 = 10
x2 = 300
y2 = 70
width = 3
)"},
};

Page ParsedPage(std::string elements) {
    const std::string picture = "demo480x480-4.jpg";
    for (auto at = elements.find(picture); at != std::string::npos;
         at = elements.find(picture, at + 1)) {
        elements.insert(at, DEMO_FOLDER "/");
        at += sizeof DEMO_FOLDER;
    }
    auto parsed = ParsePageFile(kElementsOnly + elements, Trust::Own);
    if (const auto* error = std::get_if<PageFileError>(&parsed)) {
        ADD_FAILURE() << error->place.line << ":" << error->place.column << ": " << error->reason;
        return {};
    }
    return std::get<PageFile>(parsed).pages.front();
}

std::vector<std::uint8_t> GoldenFrame(const std::vector<std::uint8_t>& png) {
    const imaging::Bitmap picture = pictures::DecodePicture(png);
    std::vector<std::uint8_t> storage;
    std::vector<std::uint8_t> frame(480 / 8 * 480);
    imaging::ThresholdLuma(imaging::LumaPlaneOf(picture, storage), frame, 127);
    return frame;
}

TEST(PageTest, PagesGiveTheirGoldenFrames) {
    const ValueMap values = {{"cpu.percent", 62.5},
                             {"mem.used", 3.5 * 1024 * 1024 * 1024},
                             {"bad", std::string("caf\xe9 \xff!")}};
    SampleHistory samples = {{"series", {0, 5, 10, 20, 15, 5, 30}}};
    FontLibrary fonts(FontLibrary::SystemFolders());
    PictureCache pictures([](const std::string& line) { ADD_FAILURE() << line; });
    DrawInputs inputs{values, samples, fonts,
                      [&](const PictureElement& e) { return pictures.Get(e); }};
    const char* write_to = std::getenv("PAGES_WRITE_GOLDENS");
    for (const GoldenRow& row : kGoldens) {
        const std::vector<std::uint8_t> frame = DrawPage(ParsedPage(row.page), inputs).Frame();
        const std::string file = std::string(row.name) + ".png";
        if (write_to != nullptr) {
            const std::vector<std::uint8_t> png = pictures::EncodeFramePng(frame);
            std::ofstream(std::string(write_to) + "/" + file, std::ios::binary)
                .write(reinterpret_cast<const char*>(png.data()),
                       static_cast<std::streamsize>(png.size()));
            continue;
        }
        std::ifstream golden(std::string(GOLDEN_FOLDER) + "/" + file, std::ios::binary);
        const std::vector<std::uint8_t> png{std::istreambuf_iterator<char>(golden), {}};
        ASSERT_FALSE(png.empty()) << file;
        EXPECT_TRUE(GoldenFrame(png) == frame) << row.name << " differs from " << file;
    }
}

TEST(PageTest, MistakesNameTheirLineAndColumn) {
    const struct {
        std::string file;
        Trust trust;
        int line;
        int column;
        const char* reason;
    } rows[] = {
        {"[[page]]\nname = \"a\"\nsize = 3\n", Trust::Own, 3, 1, "unknown key size in a page"},
        {"[[page]]\nname = \"a b\"\n", Trust::Own, 2, 8, "a page needs name"},
        {"[[page]\n", Trust::Own, 1, 8, ""},  // the parser's own words
        {"x = 1\n", Trust::Own, 1, 1, "the file has no pages"},
        {"[[page]]\nname = \"a\"\n[[page]]\nname = \"a\"\n", Trust::Own, 3, 1,
         "two pages are named a"},
        {std::string(kElementsOnly) + "[[page.element]]\ntype = \"text\"\ntext = \"{x\"\n",
         Trust::Own, 5, 8, "a { that is never closed"},
        {std::string(kElementsOnly) +
             "[[page.element]]\ntype = \"text\"\ntext = \"a\"\nsize = 1000\n",
         Trust::Own, 6, 8, "size must be a whole number from 4 to 480"},
        {std::string(kElementsOnly) + "[[page.element]]\ntype = \"circle\"\n", Trust::Own, 4, 8,
         "unknown element type circle"},
        {std::string(kElementsOnly) +
             "[[page.element]]\ntype = \"bar\"\nvalue = \"v\"\nmin = 5\nmax = 5\n",
         Trust::Own, 3, 1, "max must be above its min"},
        {std::string(kElementsOnly) + "[[page.element]]\ntype = \"picture\"\npath = \"a.png\"\n",
         Trust::Client, 5, 8, "a picture's path (a.png) is refused"},
        {std::string(kElementsOnly) + "[[page.element]]\ntype = \"picture\"\ndata = \"@@@@\"\n",
         Trust::Client, 5, 8, "data must be a picture file's bytes in base64"},
        {"[values.x]\nexec = [\"date\"]\n" + std::string(kElementsOnly), Trust::Client, 2, 8,
         "exec is refused"},
        {"[values.x]\nexec = [\"date\"]\ntimeout = \"5 s\"\n" + std::string(kElementsOnly),
         Trust::Own, 3, 11, "timeout must be a duration"},
        {"[values.cpu]\nfile = \"/x\"\n" + std::string(kElementsOnly), Trust::Own, 1, 1,
         "cpu is a built-in group"},
        {"[display]\nblank = \"23:00-23:00\"\n" + std::string(kElementsOnly), Trust::Own, 2, 9,
         "blank must be two different times"},
        {"[display]\n" + std::string(kElementsOnly), Trust::Client, 1, 1, "[display] is refused"},
        {"[[page]]\nname = \"a\"\nfonts = [\"/x.ttf\"]\n", Trust::Client, 3, 9, "a font path"},
    };
    for (const auto& row : rows) {
        const auto parsed = ParsePageFile(row.file, row.trust);
        const auto* error = std::get_if<PageFileError>(&parsed);
        ASSERT_NE(error, nullptr) << row.file;
        EXPECT_EQ(error->place.line, row.line) << row.file;
        EXPECT_EQ(error->place.column, row.column) << row.file;
        EXPECT_NE(error->reason.find(row.reason), std::string::npos) << error->reason;
    }
}

TEST(PageTest, FieldsShowTheirFormats) {
    std::tm noon{};
    noon.tm_year = 126, noon.tm_mon = 11, noon.tm_mday = 10, noon.tm_hour = 12, noon.tm_min = 5;
    noon.tm_isdst = -1;
    const Moment moment = std::chrono::system_clock::from_time_t(std::mktime(&noon));
    const ValueMap values = {{"n", 1234.5678}, {"whole", 42.0},
                             {"share", 0.256}, {"t", moment},
                             {"date", moment}, {"s", std::string("load 3.26 high")},
                             {"up", 93784.0}};
    const std::pair<const char*, const char*> rows[] = {
        {"{n}", "1234.6"},
        {"{whole}", "42"},
        {"{n:.2f}|{n:8.1f}|{n:d}", "1234.57|  1234.6|1235"},
        {"{share:%}|{share:.1%}", "26%|25.6%"},
        {"{n:bytes}|{whole:bytes}|{up:bytes}", "1.2 KiB|42 B|92 KiB"},
        {"{up:duration}|{n:duration}", "1d 2h|20m 35s"},
        {"{t}|{t:%Y-%m-%d %H:%M}|{date}", "12:05|2026-12-10 12:05|2026-12-10"},
        {"{s}|{s:.1f}|{missing}|{{x}}", "load 3.26 high|3.3|?|{x}"},
        {"{n:q}|{n:.f}", "?|?"},
    };
    for (const auto& [text, expected] : rows) {
        const SplitText split = SplitFields(text);
        ASSERT_EQ(split.error, "") << text;
        EXPECT_EQ(FillFields(split.pieces, values), expected) << text;
    }
}

// Pages are given out only when their pixels change; a value that fails is logged once, and
// only the groups a page shows are read (this made-up system has no memory to read).
TEST(PageTest, ADeckGivesPagesWhenTheyChangeAndLogsAFailingValueOnce) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("page_deck_" + std::to_string(::getpid()));
    fs::create_directories(root / "proc/sys/kernel");
    std::ofstream(root / "proc/sys/kernel/hostname") << "deck\n";
    const auto word = [&](const char* text) { std::ofstream(root / "word") << text; };
    word("one\nrest");
    FontLibrary fonts(FontLibrary::SystemFolders());
    std::vector<std::string> log;
    PageDeck deck(root, fonts, [&](const std::string& line) { log.push_back(line); });
    const auto file =
        ParsePageFile("[values.word]\nfile = '" + (root / "word").string() +
                          "'\ninterval = \"1s\"\n[[page]]\nname = \"a\"\n"
                          "[[page.element]]\ntype = \"text\"\ntext = \"{hostname} {word} {x}\"\n"
                          "[[page]]\nname = \"b\"\n",
                      Trust::Own);
    EXPECT_TRUE(deck.Replace("f", std::get<PageFile>(file)).empty());
    const PageDeck::Clock::time_point t0{};
    const auto given = [&](int ms) {
        std::string names;
        for (const DrawnPage& page : deck.Advance(t0 + std::chrono::milliseconds(ms), {}))
            names += page.name;
        return names;
    };
    EXPECT_EQ(given(0), "ab");
    EXPECT_EQ(given(500), "");
    deck.Set("x", "!");
    EXPECT_EQ(given(600), "a");
    fs::remove(root / "word");
    EXPECT_EQ(given(1000), "a");
    EXPECT_EQ(given(2000), "");
    word("two");
    EXPECT_EQ(given(3000), "a");
    Page only_b;
    only_b.name = "b";
    EXPECT_EQ(deck.Replace("f", PageFile{std::nullopt, {}, {only_b}}),
              std::vector<std::string>{"a"});
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("value word: cannot read " + (root / "word").string(), 0), 0u) << log[0];
    EXPECT_EQ(log[1], "value word: works again");
    fs::remove_all(root);
}

// A misspelt family is told, never drawn in whatever font the system offers instead.
TEST(PageTest, AFamilyTheSystemLacksIsNoFont) {
    FontLibrary fonts(FontLibrary::SystemFolders());
    EXPECT_EQ(FontLibrary::FamilyFile("No Such Family 7"), std::nullopt);
    EXPECT_THROW(fonts.Stack({"No Such Family 7"}), std::runtime_error);
}

TEST(PageTest, Base64RoundTripsAndRefusesWhatIsNotBase64) {
    const std::vector<std::uint8_t> bytes = {0, 1, 2, 0xfb, 0xff, 0x10, 0x20};
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        const std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(n));
        EXPECT_EQ(DecodeBase64(EncodeBase64(part)), part) << n;
    }
    EXPECT_EQ(EncodeBase64(std::vector<std::uint8_t>{'M', 'a'}), "TWE=");
    for (const char* bad : {"TWE", "TW=E", "T WE", "TWE=TWE=", "=AAA"}) {
        EXPECT_EQ(DecodeBase64(bad), std::nullopt) << bad;
    }
}

}  // namespace

#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "imaging/dither.h"
#include "imaging/screen_scaler.h"

// A page file: pages of elements at pixel positions, the values they show beyond the
// built-in ones, and the display's own settings. docs/pages.md is its manual.
namespace pages {

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

enum class Align { Left, Center, Right };
enum class VerticalAlign { Top, Middle, Bottom };
enum class Direction { Right, Left, Up, Down };

struct TextElement {
    Box box;
    std::string text;                // with {name} and {name:format} fields
    std::vector<std::string> fonts;  // empty: the page's
    int size = 16;
    int line_height = 0;  // 0: the size
    Align align = Align::Left;
    VerticalAlign valign = VerticalAlign::Top;
    bool wrap = false;  // else one line, cut with an ellipsis
    bool invert = false;
};
struct BarElement {
    Box box;
    std::string value;
    double min = 0;
    double max = 100;
    Direction direction = Direction::Right;
    bool outline = true;
    bool invert = false;
};
struct GraphElement {
    Box box;
    std::string value;
    int samples = 0;            // 0: one a pixel column
    std::optional<double> min;  // unset: the lowest sample shown (0 when none is below)
    std::optional<double> max;  // unset: the highest sample shown
    bool outline = true;
    bool invert = false;
};
struct PictureElement {
    Box box;
    std::string path;                 // a file read from disk: from its folder
    std::vector<std::uint8_t> bytes;  // embedded instead of a path, as lcdctl sends them
    imaging::Fit fit = imaging::Fit::Pad;
    std::optional<imaging::DitherMethod> dither = imaging::DitherMethod::FloydSteinberg;
    int threshold = 0;  // with no dither; 0: the mean
    bool invert = false;
};
struct RectElement {
    Box box;
    bool fill = false;
    bool invert = false;
};
struct LineElement {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int width = 1;
    bool invert = false;
};
using Element =
    std::variant<TextElement, BarElement, GraphElement, PictureElement, RectElement, LineElement>;

// Where in the file something was written, for messages.
struct Place {
    int line = 0;
    int column = 0;
};

struct Page {
    std::string name;
    std::string priority = "info";
    std::chrono::seconds duration{10};
    std::optional<int> colour;
    std::optional<int> brightness;
    bool dark = false;               // light drawing on a dark page
    std::vector<std::string> fonts;  // tried in order; Unifont always comes last
    std::vector<Element> elements;
    std::vector<Place> places;  // each element's, for messages
};

// Values a file declares beyond the built-in ones.
struct ExecSource {
    std::vector<std::string> argv;
    std::chrono::milliseconds timeout{5000};
};
struct FileSource {
    std::string path;
};
struct DiskSource {
    std::string path;
};
struct BuiltinGroup {};  // only sets the interval of a built-in group by its name
struct ValueSource {
    std::string name;
    std::variant<ExecSource, FileSource, DiskSource, BuiltinGroup> source;
    std::chrono::milliseconds interval{2000};
    Place place;
};

struct DisplaySettings {
    // Dark between these minutes of the day, [from, to), across midnight when to < from.
    std::optional<std::pair<int, int>> blank_minutes;
    std::optional<std::chrono::seconds> blank_after;
};

struct PageFile {
    std::optional<DisplaySettings> display;
    std::vector<ValueSource> values;
    std::vector<Page> pages;
};

struct PageFileError {
    Place place;
    std::string reason;
};

// Who wrote the file. The hub's own files may run commands and read files; pages that come
// from a client may not, since the hub must not run or read anything on a client's behalf.
// A client's own check before it sends lets pictures name files, which it then carries.
enum class Trust { Own, Sender, Client };

// The most bytes of pages a client sends, pictures included: the hub parses them on the
// clients' thread.
inline constexpr std::size_t kMostSentPageBytes = 8u * 1024 * 1024;

// The names of the built-in groups whose interval a [values.NAME] table may set.
std::vector<std::string_view> BuiltinGroupNames();
// Names the hub gives priorities, highest first.
std::vector<std::string_view> PriorityNames();

// The file's pages, or the first mistake with its line and column.
std::variant<PageFile, PageFileError> ParsePageFile(std::string_view text, Trust trust);

// A page file read whole, after its type and size were checked (at most kMostPageFileBytes),
// then parsed, its relative paths taken from its folder; or the reason, with the path and,
// for a mistake in it, the line and column.
inline constexpr std::uintmax_t kMostPageFileBytes = 1u << 20;
std::variant<PageFile, std::string> ReadPageFile(const std::filesystem::path& path, Trust trust);

// The page file as a client sends it: checked as the hub will check it (a mistake with the
// path, line and column), and the files its pictures name read and carried inside it.
struct PagesToSend {
    std::string text;
    std::string error;  // empty when the text can be sent
};
PagesToSend PreparePagesToSend(const std::filesystem::path& path);

// "10s", "500ms", "10m", "2h" as milliseconds; nullopt when it is no such duration.
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

}  // namespace pages

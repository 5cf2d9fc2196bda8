#include "pages/page_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "imaging/picture_file.h"
#include "pages/base64.h"
#include "pages/builtin_sources.h"
#include "pages/value_format.h"
#include "protocol/commands.h"

namespace pages {

namespace {

constexpr int kScreen = protocol::kScreenWidth;

// A mistake found while reading: thrown to the top, where it becomes the answer.
struct Mistake {
    Place place;
    std::string reason;
};

Place PlaceOf(const toml::node& node) {
    const auto& begin = node.source().begin;
    return Place{static_cast<int>(begin.line), static_cast<int>(begin.column)};
}

[[noreturn]] void Fail(const toml::node& node, std::string reason) {
    throw Mistake{PlaceOf(node), std::move(reason)};
}

// Reads one table: each key asked for once, and any key left unread is a mistake, so that a
// misspelt key is told rather than ignored.
class Fields {
public:
    Fields(const toml::table& table, std::string what) : m_table(table), m_what(std::move(what)) {}

    const toml::node* Find(std::string_view key) {
        m_read.insert(std::string(key));
        return m_table.get(key);
    }

    template <typename T>
    std::optional<T> Get(std::string_view key, std::string_view expected) {
        const toml::node* node = Find(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        if (auto value = node->value_exact<T>()) {
            return *value;
        }
        Fail(*node, std::string(key) + " must be " + std::string(expected));
    }

    std::optional<std::string> Text(std::string_view key) {
        return Get<std::string>(key, "a string");
    }
    std::optional<bool> Flag(std::string_view key) { return Get<bool>(key, "true or false"); }

    std::optional<int> Int(std::string_view key, int low, int high) {
        const toml::node* node = Find(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto value = node->value_exact<std::int64_t>();
        if (!value || *value < low || *value > high) {
            Fail(*node, std::string(key) + " must be a whole number from " + std::to_string(low) +
                            " to " + std::to_string(high));
        }
        return static_cast<int>(*value);
    }

    std::optional<double> Number(std::string_view key) {
        const toml::node* node = Find(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        if (const auto value = node->value<double>()) {  // an integer is taken as well
            return *value;
        }
        Fail(*node, std::string(key) + " must be a number");
    }

    template <typename E>
    std::optional<E> Choice(std::string_view key,
                            const std::map<std::string, E, std::less<>>& choices) {
        const toml::node* node = Find(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto text = node->value_exact<std::string>();
        const auto found = text ? choices.find(*text) : choices.end();
        if (found == choices.end()) {
            std::string names;
            for (const auto& [name, value] : choices) {
                names += (names.empty() ? "" : ", ") + name;
            }
            Fail(*node, std::string(key) + " must be one of " + names);
        }
        return found->second;
    }

    std::optional<std::chrono::milliseconds> Duration(std::string_view key,
                                                      std::chrono::milliseconds least) {
        const toml::node* node = Find(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto text = node->value_exact<std::string>();
        const auto duration = text ? ParseDuration(*text) : std::nullopt;
        if (!duration || *duration < least) {
            Fail(*node, std::string(key) + " must be a duration of at least " +
                            std::to_string(least.count()) +
                            " ms, such as \"10s\", \"500ms\", "
                            "\"5m\" or \"1h\"");
        }
        return *duration;
    }

    std::vector<std::string> Strings(std::string_view key) {
        const toml::node* node = Find(key);
        if (node == nullptr) {
            return {};
        }
        std::vector<std::string> strings;
        const toml::array* array = node->as_array();
        if (array != nullptr) {
            for (const toml::node& item : *array) {
                if (const auto text = item.value_exact<std::string>())
                    strings.push_back(*text);
            }
        }
        if (array == nullptr || array->empty() || strings.size() != array->size()) {
            Fail(*node, std::string(key) + " must be a list of strings, such as [\"a\", \"b\"]");
        }
        return strings;
    }

    // Every key was asked for.
    void Finish() {
        for (const auto& [key, node] : m_table) {
            if (!m_read.contains(std::string(key.str()))) {
                const auto& begin = key.source().begin;
                throw Mistake{{static_cast<int>(begin.line), static_cast<int>(begin.column)},
                              "unknown key " + std::string(key.str()) + " in " + m_what};
            }
        }
    }

    const toml::table& Table() const { return m_table; }

private:
    const toml::table& m_table;
    std::string m_what;
    std::set<std::string> m_read;
};

const toml::table& TableAt(const toml::node& node, const std::string& what) {
    if (const toml::table* table = node.as_table()) {
        return *table;
    }
    Fail(node, what + " must be a table");
}

Box ReadBox(Fields& fields) {
    Box box;
    box.x = fields.Int("x", -kScreen, kScreen).value_or(0);
    box.y = fields.Int("y", -kScreen, kScreen).value_or(0);
    box.width = fields.Int("width", 1, 2 * kScreen).value_or(kScreen - box.x);
    box.height = fields.Int("height", 1, 2 * kScreen).value_or(kScreen - box.y);
    return box;
}

// A value's name as fields and bars write it: letters, digits, and . _ -
bool IsValueName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

std::string ValueNameOf(Fields& fields) {
    const toml::node* node = fields.Find("value");
    if (node == nullptr) {
        Fail(fields.Table(), "a bar or a graph needs value = \"NAME\"");
    }
    const auto name = node->value_exact<std::string>();
    if (!name || !IsValueName(*name)) {
        Fail(*node, "value must name a value, such as \"cpu.percent\"");
    }
    return *name;
}

void RefuseFromClient(Trust trust, const toml::node& node, const std::string& what) {
    if (trust == Trust::Own) {
        return;  // the hub's own configuration
    }
    Fail(node, what + " is refused in pages sent to the hub: it only reads what is sent");
}

std::vector<std::string> ReadFonts(Fields& fields, Trust trust) {
    std::vector<std::string> fonts = fields.Strings("fonts");
    for (const std::string& font : fonts) {
        if (font.find_first_of("/\\") != std::string::npos) {
            RefuseFromClient(trust, *fields.Find("fonts"), "a font path (" + font + ")");
        }
    }
    return fonts;
}

const std::map<std::string, Align, std::less<>> kAligns = {
    {"left", Align::Left}, {"center", Align::Center}, {"right", Align::Right}};
const std::map<std::string, VerticalAlign, std::less<>> kVerticalAligns = {
    {"top", VerticalAlign::Top},
    {"middle", VerticalAlign::Middle},
    {"bottom", VerticalAlign::Bottom}};
const std::map<std::string, Direction, std::less<>> kDirections = {{"right", Direction::Right},
                                                                   {"left", Direction::Left},
                                                                   {"up", Direction::Up},
                                                                   {"down", Direction::Down}};
const std::map<std::string, imaging::Fit, std::less<>> kFits = {{"crop", imaging::Fit::Crop},
                                                                {"pad", imaging::Fit::Pad},
                                                                {"stretch", imaging::Fit::Stretch},
                                                                {"none", imaging::Fit::None}};
const std::map<std::string, std::optional<imaging::DitherMethod>, std::less<>> kDithers = {
    {"none", std::nullopt},
    {"floyd", imaging::DitherMethod::FloydSteinberg},
    {"atkinson", imaging::DitherMethod::Atkinson},
    {"bayer", imaging::DitherMethod::Bayer8}};

TextElement ReadText(Fields& fields, Trust trust) {
    TextElement text;
    text.box = ReadBox(fields);
    const auto string = fields.Text("text");
    if (!string) {
        Fail(fields.Table(), "a text needs text = \"...\"");
    }
    if (const std::string error = SplitFields(*string).error; !error.empty()) {
        Fail(*fields.Find("text"), error);
    }
    text.text = *string;
    text.fonts = ReadFonts(fields, trust);
    text.size = fields.Int("size", 4, kScreen).value_or(16);
    text.line_height = fields.Int("line_height", 1, kScreen).value_or(text.size);
    text.align = fields.Choice("align", kAligns).value_or(Align::Left);
    text.valign = fields.Choice("valign", kVerticalAligns).value_or(VerticalAlign::Top);
    text.wrap = fields.Flag("wrap").value_or(false);
    text.invert = fields.Flag("invert").value_or(false);
    return text;
}

BarElement ReadBar(Fields& fields) {
    BarElement bar;
    bar.box = ReadBox(fields);
    bar.value = ValueNameOf(fields);
    bar.min = fields.Number("min").value_or(0);
    bar.max = fields.Number("max").value_or(100);
    if (bar.max <= bar.min) {
        Fail(fields.Table(), "a bar's max must be above its min");
    }
    const Direction natural = bar.box.width >= bar.box.height ? Direction::Right : Direction::Up;
    bar.direction = fields.Choice("direction", kDirections).value_or(natural);
    bar.outline = fields.Flag("outline").value_or(true);
    bar.invert = fields.Flag("invert").value_or(false);
    return bar;
}

GraphElement ReadGraph(Fields& fields) {
    GraphElement graph;
    graph.box = ReadBox(fields);
    graph.value = ValueNameOf(fields);
    graph.samples = fields.Int("samples", 2, 2 * kScreen).value_or(0);
    graph.min = fields.Number("min");
    graph.max = fields.Number("max");
    if (graph.min && graph.max && *graph.max <= *graph.min) {
        Fail(fields.Table(), "a graph's max must be above its min");
    }
    graph.outline = fields.Flag("outline").value_or(true);
    graph.invert = fields.Flag("invert").value_or(false);
    return graph;
}

PictureElement ReadPicture(Fields& fields, Trust trust) {
    PictureElement picture;
    picture.box = ReadBox(fields);
    const auto path = fields.Text("path");
    const auto data = fields.Text("data");
    if (path.has_value() == data.has_value()) {
        Fail(fields.Table(), "a picture needs either path = \"FILE\" or data = \"BASE64\"");
    }
    if (path) {
        if (trust == Trust::Client) {  // a sender carries the file instead
            RefuseFromClient(trust, *fields.Find("path"), "a picture's path (" + *path + ")");
        }
        picture.path = *path;
    } else if (const auto bytes = DecodeBase64(*data); bytes && !bytes->empty()) {
        picture.bytes = *bytes;
    } else {
        Fail(*fields.Find("data"), "data must be a picture file's bytes in base64");
    }
    picture.fit = fields.Choice("fit", kFits).value_or(imaging::Fit::Pad);
    picture.dither =
        fields.Choice("dither", kDithers).value_or(imaging::DitherMethod::FloydSteinberg);
    if (const auto threshold = fields.Int("threshold", 1, 254)) {
        if (picture.dither) {
            Fail(*fields.Find("threshold"), "threshold needs dither = \"none\"");
        }
        picture.threshold = *threshold;
    }
    picture.invert = fields.Flag("invert").value_or(false);
    return picture;
}

RectElement ReadRect(Fields& fields) {
    RectElement rect;
    rect.box = ReadBox(fields);
    rect.fill = fields.Flag("fill").value_or(false);
    rect.invert = fields.Flag("invert").value_or(false);
    return rect;
}

LineElement ReadLine(Fields& fields) {
    LineElement line;
    const auto at = [&](std::string_view key) {
        const auto value = fields.Int(key, -kScreen, 2 * kScreen);
        if (!value) {
            Fail(fields.Table(), "a line needs x1, y1, x2 and y2");
        }
        return *value;
    };
    line.x1 = at("x1");
    line.y1 = at("y1");
    line.x2 = at("x2");
    line.y2 = at("y2");
    line.width = fields.Int("width", 1, 64).value_or(1);
    line.invert = fields.Flag("invert").value_or(false);
    return line;
}

Element ReadElement(const toml::table& table, Trust trust) {
    Fields fields(table, "an element");
    const auto type = fields.Text("type");
    if (!type) {
        Fail(table,
             "an element needs type = \"text\", \"bar\", \"graph\", \"picture\", \"rect\" or "
             "\"line\"");
    }
    Element element = [&]() -> Element {
        if (*type == "text")
            return ReadText(fields, trust);
        if (*type == "bar")
            return ReadBar(fields);
        if (*type == "graph")
            return ReadGraph(fields);
        if (*type == "picture")
            return ReadPicture(fields, trust);
        if (*type == "rect")
            return ReadRect(fields);
        if (*type == "line")
            return ReadLine(fields);
        Fail(*fields.Find("type"), "unknown element type " + *type);
    }();
    fields.Finish();
    return element;
}

bool IsPageName(std::string_view name) {
    return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

Page ReadPage(const toml::table& table, Trust trust) {
    Fields fields(table, "a page");
    Page page;
    const auto name = fields.Text("name");
    if (!name || !IsPageName(*name)) {
        Fail(name ? *fields.Find("name") : static_cast<const toml::node&>(table),
             "a page needs name = \"NAME\": 1 to 32 of A-Z a-z 0-9 _ . -");
    }
    page.name = *name;
    std::map<std::string, std::string, std::less<>> priorities;
    for (const std::string_view priority : PriorityNames()) {
        priorities.emplace(std::string(priority), std::string(priority));
    }
    page.priority = fields.Choice("priority", priorities).value_or("info");
    page.duration = std::chrono::duration_cast<std::chrono::seconds>(
        fields.Duration("duration", std::chrono::seconds(1)).value_or(std::chrono::seconds(10)));
    page.colour = fields.Int("colour", 0, protocol::kColorChoices - 1);
    page.brightness = fields.Int("brightness", 0, protocol::kBrightnessChoices - 1);
    page.dark = fields
                    .Choice("background", std::map<std::string, bool, std::less<>>{{"white", false},
                                                                                   {"black", true}})
                    .value_or(false);
    page.fonts = ReadFonts(fields, trust);
    if (const toml::node* elements = fields.Find("element")) {
        const toml::array* array = elements->as_array();
        if (array == nullptr) {
            Fail(*elements, "elements are written [[page.element]]");
        }
        for (const toml::node& element : *array) {
            page.elements.push_back(ReadElement(TableAt(element, "an element"), trust));
            page.places.push_back(PlaceOf(element));
        }
    }
    fields.Finish();
    return page;
}

std::pair<int, int> ReadHours(const toml::node& node) {
    const auto text = node.value_exact<std::string>();
    const auto minute_of = [](std::string_view clock) -> std::optional<int> {
        int hours = 0;
        int minutes = 0;
        if (clock.size() != 5 || clock[2] != ':' ||
            std::from_chars(clock.data(), clock.data() + 2, hours).ptr != clock.data() + 2 ||
            std::from_chars(clock.data() + 3, clock.data() + 5, minutes).ptr != clock.data() + 5 ||
            hours > 23 || minutes > 59) {
            return std::nullopt;
        }
        return hours * 60 + minutes;
    };
    const auto dash = text ? text->find('-') : std::string::npos;
    const auto from = dash != std::string::npos ? minute_of(std::string_view(*text).substr(0, dash))
                                                : std::nullopt;
    const auto to = dash != std::string::npos ? minute_of(std::string_view(*text).substr(dash + 1))
                                              : std::nullopt;
    if (!from || !to || *from == *to) {
        Fail(node, "blank must be two different times of day, such as \"23:00-07:00\"");
    }
    return {*from, *to};
}

DisplaySettings ReadDisplay(const toml::table& table) {
    Fields fields(table, "[display]");
    DisplaySettings display;
    if (const toml::node* blank = fields.Find("blank")) {
        display.blank_minutes = ReadHours(*blank);
    }
    if (const auto after = fields.Duration("blank_after", std::chrono::seconds(10))) {
        display.blank_after = std::chrono::duration_cast<std::chrono::seconds>(*after);
    }
    fields.Finish();
    return display;
}

ValueSource ReadValue(std::string name, const toml::table& table, Trust trust) {
    Fields fields(table, "[values." + name + "]");
    ValueSource value{name, BuiltinGroup{}, std::chrono::milliseconds(2000), PlaceOf(table)};
    const std::vector<std::string_view> groups = BuiltinGroupNames();
    const bool builtin = std::ranges::find(groups, name) != groups.end();
    if (const toml::node* exec = fields.Find("exec")) {
        RefuseFromClient(trust, *exec, "exec");
        std::vector<std::string> argv = fields.Strings("exec");
        value.source =
            ExecSource{std::move(argv), fields.Duration("timeout", std::chrono::milliseconds(100))
                                            .value_or(std::chrono::milliseconds(5000))};
    } else if (const auto file = fields.Text("file")) {
        RefuseFromClient(trust, *fields.Find("file"), "file");
        value.source = FileSource{*file};
    } else if (const auto disk = fields.Text("disk")) {
        RefuseFromClient(trust, *fields.Find("disk"), "disk");
        value.source = DiskSource{*disk};
    } else if (!builtin) {
        Fail(table,
             "[values." + name + "] needs exec, file or disk, or must name a built-in group");
    }
    if (builtin && !std::holds_alternative<BuiltinGroup>(value.source)) {
        Fail(table, name + " is a built-in group: choose another name");
    }
    value.interval =
        fields.Duration("interval", std::chrono::milliseconds(100)).value_or(value.interval);
    fields.Finish();
    return value;
}

PageFile ReadFile(const toml::table& root, Trust trust) {
    Fields fields(root, "the file");
    PageFile file;
    if (const toml::node* display = fields.Find("display")) {
        if (trust != Trust::Own) {
            Fail(*display, "[display] is refused in pages sent to the hub: it is the hub's own");
        }
        file.display = ReadDisplay(TableAt(*display, "[display]"));
    }
    if (const toml::node* values = fields.Find("values")) {
        for (const auto& [name, table] : TableAt(*values, "[values]")) {
            if (!IsValueName(name.str())) {
                Fail(table, "a value's name is letters, digits and . _ -");
            }
            file.values.push_back(
                ReadValue(std::string(name.str()), TableAt(table, "a value"), trust));
        }
    }
    const toml::node* pages = fields.Find("page");
    if (pages == nullptr || pages->as_array() == nullptr) {
        Fail(pages != nullptr ? *pages : static_cast<const toml::node&>(root),
             "the file has no pages: each begins with [[page]]");
    }
    for (const toml::node& page : *pages->as_array()) {
        file.pages.push_back(ReadPage(TableAt(page, "a page"), trust));
        const auto same = std::ranges::count(file.pages, file.pages.back().name, &Page::name);
        if (same > 1) {
            Fail(page, "two pages are named " + file.pages.back().name);
        }
    }
    fields.Finish();
    return file;
}

// Relative paths as the file's own folder has them, wherever the reader runs.
void FromFolder(PageFile& file, const std::filesystem::path& folder) {
    const auto resolve = [&](std::string& path) {
        if (!path.empty() && std::filesystem::path(path).is_relative()) {
            path = imaging::PathText(folder / std::filesystem::path(path));
        }
    };
    for (ValueSource& value : file.values) {
        if (auto* source = std::get_if<FileSource>(&value.source))
            resolve(source->path);
        if (auto* source = std::get_if<DiskSource>(&value.source))
            resolve(source->path);
    }
    for (Page& page : file.pages) {
        for (Element& element : page.elements) {
            if (auto* picture = std::get_if<PictureElement>(&element))
                resolve(picture->path);
        }
    }
}

}  // namespace

std::vector<std::string_view> BuiltinGroupNames() {
    std::vector<std::string_view> names;
    for (const BuiltinSource& source : kBuiltinSources) names.push_back(source.name);
    return names;
}

std::vector<std::string_view> PriorityNames() {
    return {"alert", "foreground", "info", "background"};
}

std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text) {
    long long count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
    static const std::map<std::string_view, long long> kUnits = {
        {"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}};
    const auto found = kUnits.find(unit);
    if (error != std::errc() || count < 0 || found == kUnits.end() || count > 366LL * 24 * 3600) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(count * found->second);
}

std::variant<PageFile, PageFileError> ParsePageFile(std::string_view text, Trust trust) {
    try {
        const toml::table root = toml::parse(text);
        return ReadFile(root, trust);
    } catch (const toml::parse_error& error) {
        const auto& begin = error.source().begin;
        return PageFileError{{static_cast<int>(begin.line), static_cast<int>(begin.column)},
                             std::string(error.description())};
    } catch (const Mistake& mistake) {
        return PageFileError{mistake.place, mistake.reason};
    }
}

namespace {

// The file's text once its type and size are known to be safe to read; else why not.
std::optional<std::string> ReadWhole(const std::filesystem::path& path, std::string& error) {
    const std::string name = imaging::PathText(path);
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) {
        error = "cannot read " + name + ": " + (code ? code.message() : "not a regular file");
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, code);
    if (code || size > kMostPageFileBytes) {
        error = "cannot read " + name + ": " + (code ? code.message() : "larger than 1 MiB");
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!file.read(text.data(), static_cast<std::streamsize>(size))) {
        error = "cannot read " + name;
        return std::nullopt;
    }
    return text;
}

std::string Placed(const std::filesystem::path& path, const PageFileError& mistake) {
    return imaging::PathText(path) + ":" + std::to_string(mistake.place.line) + ":" +
           std::to_string(mistake.place.column) + ": " + mistake.reason;
}

// Each picture's file, read as picture files are, becomes its data.
void CarryPictures(toml::table& root, const std::filesystem::path& folder) {
    toml::array* pages = root["page"].as_array();
    for (std::size_t p = 0; pages != nullptr && p < pages->size(); ++p) {
        toml::table* page = pages->get(p)->as_table();
        toml::array* elements = page != nullptr ? (*page)["element"].as_array() : nullptr;
        for (std::size_t e = 0; elements != nullptr && e < elements->size(); ++e) {
            toml::table* element = elements->get(e)->as_table();
            const auto path =
                element != nullptr ? (*element)["path"].value<std::string>() : std::nullopt;
            if (path && (*element)["type"].value<std::string>() == "picture") {
                const std::vector<std::uint8_t> bytes =
                    imaging::ReadPictureFile(folder / std::filesystem::path(*path));
                element->erase("path");
                element->insert("data", EncodeBase64(bytes));
            }
        }
    }
}

}  // namespace

std::variant<PageFile, std::string> ReadPageFile(const std::filesystem::path& path, Trust trust) {
    std::string error;
    const auto text = ReadWhole(path, error);
    if (!text) {
        return error;
    }
    auto parsed = ParsePageFile(*text, trust);
    if (const auto* mistake = std::get_if<PageFileError>(&parsed)) {
        return Placed(path, *mistake);
    }
    PageFile pages = std::get<PageFile>(std::move(parsed));
    FromFolder(pages, path.parent_path());
    return pages;
}

PagesToSend PreparePagesToSend(const std::filesystem::path& path) {
    PagesToSend sendable;
    const auto text = ReadWhole(path, sendable.error);
    if (!text) {
        return sendable;
    }
    const auto parsed = ParsePageFile(*text, Trust::Sender);
    if (const auto* mistake = std::get_if<PageFileError>(&parsed)) {
        sendable.error = Placed(path, *mistake);
        return sendable;
    }
    try {
        toml::table root = toml::parse(*text);
        CarryPictures(root, path.parent_path());
        std::ostringstream out;
        out << root;
        sendable.text = out.str();
    } catch (const imaging::EPictureFile& failure) {
        sendable.error = imaging::PathText(failure.Path()) + ": " + failure.Reason();
    }
    if (sendable.text.size() > kMostSentPageBytes) {
        sendable.error = imaging::PathText(path) + ": with its pictures, larger than 8 MiB";
    }
    return sendable;
}

}  // namespace pages

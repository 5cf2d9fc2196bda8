#include "hub/hub_protocol.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <utility>
#include <vector>

#include "protocol/commands.h"

namespace hub {
namespace {

using Words = std::span<const std::string_view>;

constexpr std::size_t kMaxScreenName = 32;
constexpr std::size_t kMaxEchoBytes = 64;  // client text quoted back in one error
constexpr std::uint64_t kMaxSeconds = 365u * 24 * 60 * 60;

constexpr std::array<std::string_view, kPriorityCount> kPriorityNames = {"alert", "foreground",
                                                                         "info", "background"};

// The reply quotes client text: bounded, and only printable ASCII reaches a terminal.
std::string Echo(std::string_view text) {
    std::string echoed(text.substr(0, kMaxEchoBytes));
    for (char& c : echoed) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e)
            c = '?';
    }
    return echoed;
}

std::string Quoting(std::string_view reason, std::string_view client_text) {
    return std::string(reason) + " " + Echo(client_text);
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

// Plain decimal digits up to `max`: no sign, no blanks, nothing after.
std::optional<std::uint64_t> Count(std::string_view text, std::uint64_t max) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

std::optional<int> Choice(std::string_view text, int choices) {
    const auto value = Count(text, static_cast<std::uint64_t>(choices - 1));
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

template <typename T, std::size_t N>
std::optional<T> Named(const std::array<std::pair<std::string_view, T>, N>& names,
                       std::string_view text) {
    for (const auto& [name, value] : names) {
        if (name == text)
            return value;
    }
    return std::nullopt;
}

constexpr std::array<std::pair<std::string_view, imaging::Fit>, 4> kFits = {{
    {"crop", imaging::Fit::Crop},
    {"pad", imaging::Fit::Pad},
    {"stretch", imaging::Fit::Stretch},
    {"none", imaging::Fit::None},
}};
// "threshold" is no dither at all.
constexpr std::array<std::pair<std::string_view, std::optional<imaging::DitherMethod>>, 4>
    kDithers = {{
        {"threshold", std::nullopt},
        {"floyd", imaging::DitherMethod::FloydSteinberg},
        {"atkinson", imaging::DitherMethod::Atkinson},
        {"bayer", imaging::DitherMethod::Bayer8},
    }};
constexpr std::array<std::pair<std::string_view, bool>, 2> kSwitches = {{
    {"on", true},
    {"off", false},
}};

// A command's outcome: the command, or the reason it was refused.
using Outcome = std::variant<Command, std::string>;

// One key=value option: applies the value to the command, or says it is no good.
template <typename T>
struct Option {
    std::string_view key;
    bool (*apply)(std::string_view value, T& target);
};

// The words after a command's arguments are its options, each known and given once.
template <typename T, std::size_t N>
std::string ApplyOptions(Words words, const std::array<Option<T>, N>& options, T& target) {
    std::array<bool, N> seen{};
    for (const std::string_view word : words) {
        const std::size_t equals = word.find('=');
        const std::string_view key = word.substr(0, equals);
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&](const Option<T>& known) { return known.key == key; });
        if (equals == std::string_view::npos || option == options.end())
            return Quoting("unknown option", key);
        bool& given = seen[static_cast<std::size_t>(option - options.begin())];
        if (given)
            return Quoting("repeated option", key);
        given = true;
        if (!option->apply(word.substr(equals + 1), target))
            return Quoting("bad value", word);
    }
    return {};
}

bool ApplyYes(std::string_view value, bool& flag) {
    flag = value == "yes";
    return flag;
}

std::optional<int> Seconds(std::string_view text) {
    const auto value = Count(text, kMaxSeconds);
    if (!value || *value == 0)
        return std::nullopt;
    return static_cast<int>(*value);
}

// Stores a named value from `names` through `store`.
template <typename T, std::size_t N, typename Target, typename Store>
bool ApplyNamed(const std::array<std::pair<std::string_view, T>, N>& names, std::string_view text,
                Target& target, Store store) {
    const auto value = Named(names, text);
    if (value)
        store(target, *value);
    return value.has_value();
}

constexpr std::array<Option<ScreenCommand>, 4> kScreenOptions = {{
    {"priority",
     [](std::string_view value, ScreenCommand& command) {
         command.priority = PriorityNamed(value);
         return command.priority.has_value();
     }},
    {"duration",
     [](std::string_view value, ScreenCommand& command) {
         command.duration_s = Seconds(value);
         return command.duration_s.has_value();
     }},
    {"expire",
     [](std::string_view value, ScreenCommand& command) {
         command.expire_s = value == "never" ? std::optional<int>(0) : Seconds(value);
         return command.expire_s.has_value();
     }},
    {"keep",
     [](std::string_view value, ScreenCommand& command) { return ApplyYes(value, command.keep); }},
}};

constexpr std::array<Option<imaging::FrameRecipe>, 4> kRecipeOptions = {{
    {"fit",
     [](std::string_view value, imaging::FrameRecipe& recipe) {
         return ApplyNamed(kFits, value, recipe, [](auto& r, imaging::Fit fit) { r.fit = fit; });
     }},
    {"dither",
     [](std::string_view value, imaging::FrameRecipe& recipe) {
         return ApplyNamed(kDithers, value, recipe,
                           [](auto& r, auto dither) { r.dither = dither; });
     }},
    // 0 is the automatic threshold, the default.
    {"threshold",
     [](std::string_view value, imaging::FrameRecipe& recipe) {
         const auto threshold = Count(value, 255);
         if (threshold)
             recipe.threshold = static_cast<int>(*threshold);
         return threshold.has_value();
     }},
    {"invert", [](std::string_view value,
                  imaging::FrameRecipe& recipe) { return ApplyYes(value, recipe.invert); }},
}};

// The first fault of a command's arguments: fewer than `count`, a first one that is no
// screen name when `named`, more than `count` when the rest are not options.
std::optional<std::string> ArgumentProblem(Words args, std::size_t count, bool named,
                                           bool takes_options) {
    if (args.size() < count)
        return "missing argument";
    if (named && !IsScreenName(args[0]))
        return "bad name";
    if (!takes_options && args.size() > count)
        return "too many arguments";
    return std::nullopt;
}

Outcome ParseScreen(Words args) {
    if (auto problem = ArgumentProblem(args, 1, true, true))
        return *problem;
    ScreenCommand command;
    command.name = std::string(args[0]);
    if (auto problem = ApplyOptions(args.subspan(1), kScreenOptions, command); !problem.empty())
        return problem;
    return command;
}

template <typename T>
Outcome ParseRecipeCommand(Words args, std::size_t count, T command) {
    if (auto problem = ArgumentProblem(args, count, true, true))
        return *problem;
    command.name = std::string(args[0]);
    if (auto problem = ApplyOptions(args.subspan(count), kRecipeOptions, command.recipe);
        !problem.empty())
        return problem;
    return command;
}

Outcome ParseNamed(Words args, const auto& make) {
    if (auto problem = ArgumentProblem(args, 1, true, false))
        return *problem;
    return make(std::string(args[0]));
}

// A command of one value, after the screen's name when `named`.
Outcome ParseValued(Words args, bool named, const auto& parse, const auto& make) {
    const std::size_t count = named ? 2 : 1;
    if (auto problem = ArgumentProblem(args, count, named, false))
        return *problem;
    const std::string_view text = args[count - 1];
    const auto value = parse(text);
    if (!value)
        return Quoting("bad value", text);
    return make(named ? std::string(args[0]) : std::string(), *value);
}

template <typename T, std::size_t N>
auto NameIn(const std::array<std::pair<std::string_view, T>, N>& names) {
    return [&names](std::string_view text) { return Named(names, text); };
}

auto ChoiceOf(int choices) {
    return [choices](std::string_view text) { return Choice(text, choices); };
}

std::optional<std::uint8_t> FillNamed(std::string_view name) {
    const protocol::TestPattern* pattern = protocol::FindPattern(name);
    return pattern != nullptr ? std::optional(pattern->fill) : std::nullopt;
}

// A screen's setting names the screen before its value; the module's own has no screen.
Outcome ParseSetting(const protocol::ModuleSetting& setting, Words args) {
    if (!setting.per_screen)
        return ParseValued(args, false, ChoiceOf(setting.choices),
                           [](std::string, int value) { return ModelCommand{value}; });
    return ParseValued(args, true, ChoiceOf(setting.choices),
                       [&setting](std::string name, int value) {
                           return SettingCommand{std::move(name), &setting, value};
                       });
}

Outcome ParseBare(Words args, Command command) {
    if (!args.empty())
        return std::string("too many arguments");
    return command;
}

Outcome ParseCommand(std::string_view verb, Words args, std::size_t payload_bytes) {
    if (verb == "screen")
        return ParseScreen(args);
    if (verb == "frame")
        return ParseNamed(args, [](std::string name) { return FrameCommand{std::move(name)}; });
    if (verb == "picture") {
        PictureCommand picture;
        picture.bytes = payload_bytes;
        return ParseRecipeCommand(args, 2, std::move(picture));
    }
    if (verb == "gray")
        return ParseRecipeCommand(args, 1, GrayCommand{});
    if (verb == "pattern")
        return ParseValued(args, true, FillNamed, [](std::string name, std::uint8_t fill) {
            return PatternCommand{std::move(name), fill};
        });
    if (const protocol::ModuleSetting* setting = protocol::FindSetting(verb))
        return ParseSetting(*setting, args);
    if (verb == "delete")
        return ParseNamed(args, [](std::string name) { return DeleteCommand{std::move(name)}; });
    if (verb == "watch")
        return ParseValued(args, false, NameIn(kSwitches),
                           [](std::string, bool on) { return WatchCommand{on}; });
    if (verb == "unset") {
        if (args.size() != 1)
            return std::string(args.empty() ? "missing argument" : "too many arguments");
        if (!IsClientValueName(args[0]))
            return std::string("bad name");
        return UnsetCommand{std::string(args[0])};
    }
    if (verb == "page") {
        if (args.size() != 1)
            return std::string(args.empty() ? "missing argument" : "too many arguments");
        return PageCommand{payload_bytes};
    }
    if (verb == "status")
        return ParseBare(args, StatusCommand{});
    if (verb == "quit")
        return ParseBare(args, QuitCommand{});
    return std::string("unknown command");
}

// The bytes that follow the line are known from its first words alone, so that a refused
// line still has its payload read and the connection keeps its framing.
void SetPayload(std::string_view verb, Words args, ParsedLine& parsed) {
    if (verb == "frame") {
        parsed.payload = protocol::FrameBytes;
    } else if (verb == "gray") {
        parsed.payload = kGrayBytes;
    } else if (verb == "picture") {
        const auto bytes = args.size() >= 2 ? Count(args[1], kMaxPictureBytes) : std::nullopt;
        parsed.framing_lost = !bytes;
        parsed.payload = bytes.value_or(0);
    } else if (verb == "page") {
        const auto bytes = args.size() >= 1 ? Count(args[0], kMaxPageBytes) : std::nullopt;
        parsed.framing_lost = !bytes;
        parsed.payload = bytes.value_or(0);
    }
}

}  // namespace

std::string_view PriorityName(Priority priority) {
    const auto index = static_cast<std::size_t>(priority);
    return index < kPriorityNames.size() ? kPriorityNames[index] : std::string_view();
}

std::optional<Priority> PriorityNamed(std::string_view name) {
    const auto found = std::find(kPriorityNames.begin(), kPriorityNames.end(), name);
    if (found == kPriorityNames.end())
        return std::nullopt;
    return static_cast<Priority>(found - kPriorityNames.begin());
}

bool IsScreenName(std::string_view name) {
    const auto allowed = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '.' || c == '-';
    };
    return !name.empty() && name.size() <= kMaxScreenName &&
           std::all_of(name.begin(), name.end(), allowed);
}

bool IsClientValueName(std::string_view name) {
    const auto allowed = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '.' || c == '-';
    };
    return !name.empty() && name.size() <= 64 && !name.starts_with("hub.") &&
           std::all_of(name.begin(), name.end(), allowed);
}

namespace {

// "set NAME TEXT": the text is the rest of the line after one space, spaces and all.
ParsedLine ParseSet(std::string_view rest) {
    ParsedLine parsed;
    const std::size_t space = rest.find(' ');
    const std::string_view name = rest.substr(0, space);
    if (name.empty())
        parsed.error = "missing argument";
    else if (!IsClientValueName(name))
        parsed.error = "bad name";
    else
        parsed.command = SetCommand{std::string(name), space == std::string_view::npos
                                                           ? std::string()
                                                           : std::string(rest.substr(space + 1))};
    return parsed;
}

}  // namespace

std::optional<ParsedLine> ParseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.starts_with("set ") || line == "set")
        return ParseSet(line.substr(std::min<std::size_t>(4, line.size())));
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty())
        return std::nullopt;
    const std::string_view verb = words[0];
    const Words args = Words(words).subspan(1);
    ParsedLine parsed;
    SetPayload(verb, args, parsed);
    if (parsed.framing_lost) {
        parsed.error = "bad size";
        return parsed;
    }
    if ((verb == "picture" || verb == "page") && parsed.payload == 0) {
        parsed.error = verb == "page" ? "empty page" : "empty picture";
        return parsed;
    }
    Outcome outcome = ParseCommand(verb, args, parsed.payload);
    if (auto* command = std::get_if<Command>(&outcome))
        parsed.command = std::move(*command);
    else
        parsed.error = std::move(std::get<std::string>(outcome));
    return parsed;
}

}  // namespace hub

#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <string_view>

#include "protocol/handshake.h"

namespace cli {

namespace {

constexpr char kUsageHead[] =
    "usage: lcdctl [-p|--port NAME] [-b|--baud N] [-q|--quiet] COMMAND [ARGS]\n"
    "Drives the serial 480 x 480 one-bit LCD module from the shell.\n"
    "\n"
    "Commands:\n"
    "  ports [--long]            openable serial ports, one a line, in the panel's order;\n"
    "                            --long adds the USB maker, product, serial number and\n"
    "                            /dev/serial/by-id name where known\n"
    "  connect                   bring the link up, nothing more\n";

constexpr char kUsageBeforeDither[] =
    "  send FILE|- [PICTURE OPTIONS] [--preview OUT.png|-]\n"
    "                            a picture file (or standard input): JPEG, PNG, BMP, GIF,\n"
    "                            PBM/PGM/PPM and what else the system reads; with --preview\n"
    "                            and no --port, only the frame's PNG is written\n"
    "  stream [PICTURE OPTIONS] [--size WxH] [--fps N] [--no-drop] [--count N]\n"
    "                            raw 8-bit gray frames of W x H bytes (480x480 by default)\n"
    "                            from standard input, each sent as it comes; a frame that\n"
    "                            arrives while the line is busy replaces the one waiting,\n"
    "                            unless --no-drop\n"
    "  status                    the running lcdhub's link, port, speed, shown screen and\n"
    "                            frame counts\n"
    "  release                   take lcdctl's screen off the running lcdhub\n"
    "  page FILE                 send a page file's pages to the running lcdhub, which draws\n"
    "                            them with live values until pages of the same names come or\n"
    "                            they are released (release --screen NAME); the pictures they\n"
    "                            name are sent inside\n"
    "  page FILE --preview OUT.png [--set NAME=VALUE]...\n"
    "                            draw each page once, with the values of the moment, as a\n"
    "                            one-bit PNG: OUT.png for one page, OUT-NAME.png for each of\n"
    "                            several; --set gives a value as lcdctl set would\n"
    "  set NAME TEXT             give the running lcdhub's pages a value, until it exits or\n"
    "  unset NAME                the value is unset\n"
    "  --reconnect[=SECONDS]     send and stream: when the port vanishes (or stops taking\n"
    "                            data), wait up to SECONDS (30) for it to come back, bring\n"
    "                            the link up again from the module's power-up speed and go\n"
    "                            on with the newest frame\n"
    "\n"
    "Picture options:\n"
    "  --fit crop|pad|stretch|none  crop: centred square, scaled (default); pad: inside, on\n"
    "                            white; stretch: ignore the aspect; none: 1:1 from the\n"
    "                            top-left, as the panel's 刷图片 sends a picture\n"
    "  --threshold auto|1-255    light above this gray; auto (default) takes the mean\n";

constexpr char kUsageAfterDither[] =
    "  --invert                  swap light and dark\n"
    "\n"
    "Options:\n"
    "  -p, --port NAME           the port: ttyUSB0, COM3 or a path such as\n"
    "                            /dev/serial/by-id/...; by default the only USB serial port\n"
    "  -b, --baud N              2400, 9600, 115200, 921600 (default), 2016806, 3037974 or\n"
    "                            5000000\n";

constexpr char kUsageAfterHub[] =
    "  --direct                  use the port itself, even when a hub runs\n"
    "  --screen NAME             the hub's screen to draw on (default lcdctl)\n"
    "  --priority P              alert, foreground (default), info or background\n"
    "  --for SECONDS             how long the screen stays (default 60; 0: until released)\n"
    "  --wait[=SECONDS]          send and pattern through a hub: wait up to SECONDS (30)\n"
    "                            for the module to take the frame\n"
    "  -q, --quiet               no activity log, progress or status line; errors only\n"
    "  -h, --help                this text\n"
    "\n"
    "The activity log goes to standard error. Exit status: 0 done, 1 no link or link lost,\n"
    "2 usage error, 3 unreadable input or unwritable preview, 4 the module did not answer,\n"
    "130 interrupted (after the frame on the line).\n";

constexpr std::size_t kUsageWidth = 88;
constexpr std::size_t kUsageTextColumn = 28;

// One entry of the usage: its head, then its text from the text column on, wrapped.
std::string UsageEntry(std::string_view head, std::string_view text) {
    std::string entry;
    std::string line = std::string("  ").append(head);
    if (line.size() + 2 > kUsageTextColumn) {
        entry.append(line).append("\n");
        line.clear();
    }
    line.resize(kUsageTextColumn, ' ');
    std::size_t words_on_line = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        if (words_on_line > 0 && line.size() + 1 + word.size() > kUsageWidth) {
            entry.append(line).append("\n");
            line.assign(kUsageTextColumn, ' ');
            words_on_line = 0;
        }
        line.append(words_on_line++ > 0 ? " " : "").append(word);
        at = end + 1;
    }
    return entry.append(line).append("\n");
}

// "a, b and c", or with other joints.
std::string ListOf(const std::vector<std::string_view>& names, std::string_view last = " and ",
                   std::string_view between = ", ") {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list.append(i == 0 ? "" : i + 1 == names.size() ? last : between).append(names[i]);
    }
    return list;
}

std::vector<std::string_view> PatternNames() {
    std::vector<std::string_view> names;
    for (const protocol::TestPattern& pattern : protocol::kPatterns) {
        names.push_back(pattern.name);
    }
    return names;
}

std::vector<std::string_view> BinarizationNames() {
    std::vector<std::string_view> names;
    for (const imaging::BinarizationChoice& choice : imaging::kBinarizationChoices) {
        names.push_back(choice.name);
    }
    return names;
}

// The commands that take the port: through a hub when one answers.
std::vector<std::string_view> PortCommandNames() {
    std::vector<std::string_view> names = {"send", "pattern", "stream"};
    for (const protocol::ModuleSetting& setting : protocol::kSettings) {
        names.push_back(setting.name);
    }
    return names;
}

// Of those, the ones that draw on a screen of the hub's; the rest set the module itself.
std::vector<std::string_view> ScreenCommandNames() {
    std::vector<std::string_view> names = PortCommandNames();
    std::erase_if(names, [](std::string_view name) {
        const protocol::ModuleSetting* setting = protocol::FindSetting(name);
        return setting != nullptr && !setting->per_screen;
    });
    return names;
}

std::string SettingUsage(const protocol::ModuleSetting& setting) {
    std::string text =
        std::string(setting.what).append(" 0-").append(std::to_string(setting.choices - 1));
    if (!setting.legend.empty()) {
        text.append(" (").append(setting.legend).append(")");
    }
    return UsageEntry(std::string(setting.name).append(" N"), text);
}

std::string Usage() {
    std::string usage = kUsageHead;
    for (const protocol::ModuleSetting& setting : protocol::kSettings) {
        usage += SettingUsage(setting);
    }
    usage += UsageEntry("pattern " + ListOf(PatternNames(), "|", "|"),
                        "one of the panel's test patterns");
    usage += kUsageBeforeDither;
    usage += UsageEntry("--dither " + ListOf(BinarizationNames(), "|", "|"),
                        "error diffusion or an ordered 8x8 pattern instead of a "
                        "threshold (not together with --threshold)");
    usage += kUsageAfterDither;
    usage += UsageEntry("--hub PATH", "go through the lcdhub at PATH; by default " +
                                          ListOf(PortCommandNames()) +
                                          " go through a hub that answers at "
                                          "$XDG_RUNTIME_DIR/lcdhub.sock, or else at the one "
                                          "system instance's socket under /run/lcdhub/");
    return usage + kUsageAfterHub;
}

// One argument list as the parser walks it: options take their value from "--name=value"
// or from the next argument.
class ArgumentCursor {
public:
    explicit ArgumentCursor(const std::vector<std::string>& args) : m_args(args) {}
    bool Done() const { return m_at >= m_args.size(); }
    std::string Next() { return m_args[m_at++]; }
    bool NextValue(const std::string& inline_value, bool has_inline, std::string& value) {
        if (has_inline) {
            value = inline_value;
            return true;
        }
        if (Done()) {
            return false;
        }
        value = Next();
        return true;
    }

private:
    const std::vector<std::string>& m_args;
    std::size_t m_at = 0;
};

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

bool ParseInRange(const std::string& text, int low, int high, int& value) {
    return ParseNumber(text, value) && value >= low && value <= high;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    return x != std::string::npos && ParseInRange(text.substr(0, x), 1, 16384, width) &&
           ParseInRange(text.substr(x + 1), 1, 16384, height);
}

const std::map<std::string, Command>& CommandNames() {
    static const std::map<std::string, Command> names = {
        {"ports", Command::Ports},   {"connect", Command::Connect}, {"pattern", Command::Pattern},
        {"send", Command::Send},     {"stream", Command::Stream},   {"release", Command::Release},
        {"status", Command::Status}, {"page", Command::Page},       {"set", Command::Set},
        {"unset", Command::Unset}};
    return names;
}

bool TakesPictureOptions(Command command) {
    return command == Command::Send || command == Command::Stream;
}

// Reads the options, wherever they stand, and the positional arguments in order.
class Parser {
public:
    ParsedArguments Parse(const std::vector<std::string>& args) {
        ArgumentCursor cursor(args);
        while (!cursor.Done() && m_result.error.empty() && !m_result.help) {
            const std::string arg = cursor.Next();
            if (arg.size() > 1 && arg[0] == '-') {
                Option(arg, cursor);
            } else {
                m_positional.push_back(arg);
            }
        }
        if (m_result.error.empty() && !m_result.help) {
            Positional();
        }
        if (m_result.error.empty() && !m_result.help) {
            CheckCombinations();
        }
        return m_result;
    }

private:
    void Fail(const std::string& message) {
        if (m_result.error.empty()) {
            m_result.error = message;
        }
    }

    void Option(const std::string& arg, ArgumentCursor& cursor) {
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const bool has_inline = equals != std::string::npos;
        const std::string inline_value = has_inline ? arg.substr(equals + 1) : "";
        Options& o = m_result.options;
        auto value = [&](std::string& out) {
            if (!cursor.NextValue(inline_value, has_inline, out)) {
                Fail("option " + name + " needs a value");
                return false;
            }
            return true;
        };
        std::string v;
        m_seen.push_back(name);
        if (name == "-h" || name == "--help") {
            m_result.help = true;
        } else if (name == "-q" || name == "--quiet") {
            o.quiet = true;
        } else if (name == "-p" || name == "--port") {
            // An empty name would quietly mean "pick one", a port the user did not name.
            if (value(v) && (o.port = v).empty())
                Fail("--port takes the name of a port");
        } else if (name == "-b" || name == "--baud") {
            if (value(v) && !(ParseNumber(v, o.baud) &&
                              std::ranges::count(protocol::kModuleSpeeds, o.baud) == 1))
                Fail(
                    "--baud takes one of the module's speeds: 2400, 9600, 115200, 921600, "
                    "2016806, 3037974, 5000000");
        } else if (name == "--long") {
            o.long_listing = true;
        } else if (name == "--fit") {
            if (value(v))
                ParseFit(v);
        } else if (name == "--threshold") {
            if (value(v) && v != "auto" && !ParseInRange(v, 1, 255, o.picture.threshold))
                Fail("--threshold takes auto or a gray level from 1 to 255");
        } else if (name == "--dither") {
            if (value(v))
                ParseDither(v);
        } else if (name == "--invert") {
            o.picture.invert = true;
        } else if (name == "--preview") {
            if (value(v))
                o.preview = v;
        } else if (name == "--set") {
            const std::size_t split = value(v) ? v.find('=') : std::string::npos;
            if (split == std::string::npos || split == 0)
                Fail("--set takes NAME=VALUE");
            else
                o.page_values.emplace_back(v.substr(0, split), v.substr(split + 1));
        } else if (name == "--size") {
            if (value(v) && !ParseSize(v, o.width, o.height))
                Fail("--size takes WIDTHxHEIGHT, such as 480x480");
        } else if (name == "--fps") {
            // A slower rate's interval overflows the clock and lifts the cap instead.
            if (value(v) && !(ParseNumber(v, o.fps) && o.fps >= 0.001 && o.fps <= 1000))
                Fail("--fps takes a rate from 0.001 to 1000");
        } else if (name == "--no-drop") {
            o.no_drop = true;
        } else if (name == "--reconnect") {
            // Only "=SECONDS": a separate argument would be taken for send's file.
            o.reconnect_seconds = kDefaultReconnectSeconds;
            if (has_inline && !ParseInRange(inline_value, 1, 86400, o.reconnect_seconds))
                Fail("--reconnect takes a number of seconds from 1 to 86400");
        } else if (HubOption(name, value, has_inline, inline_value)) {
        } else if (name == "--count") {
            if (value(v) && !(ParseNumber(v, o.count) && o.count > 0))
                Fail("--count takes a number of frames above 0");
        } else {
            Fail("unknown option " + name);
        }
    }

    // The options of the way through a hub; false for any other name.
    template <typename Value>
    bool HubOption(const std::string& name, Value& value, bool has_inline,
                   const std::string& inline_value) {
        Options& o = m_result.options;
        std::string v;
        if (name == "--hub") {
            if (value(v) && (o.hub = v).empty())
                Fail("--hub takes the path of a hub's socket");
        } else if (name == "--direct") {
            o.direct = true;
        } else if (name == "--screen") {
            if (value(v))
                o.hub_screen = v;  // the hub judges the name
        } else if (name == "--priority") {
            if (value(v) && v != "alert" && v != "foreground" && v != "info" && v != "background")
                Fail("--priority takes alert, foreground, info or background");
            o.hub_priority = v;
        } else if (name == "--for") {
            if (value(v) && !ParseInRange(v, 0, 31536000, o.hub_for_seconds))
                Fail("--for takes a number of seconds, 0 for until released");
        } else if (name == "--wait") {
            // Only "=SECONDS", as with --reconnect.
            o.wait_seconds = kDefaultWaitSeconds;
            if (has_inline && !ParseInRange(inline_value, 1, 86400, o.wait_seconds))
                Fail("--wait takes a number of seconds from 1 to 86400");
        } else {
            return false;
        }
        return true;
    }

    void ParseFit(const std::string& v) {
        static const std::map<std::string, cli::Fit> fits = {
            {"crop", Fit::Crop}, {"pad", Fit::Pad}, {"stretch", Fit::Stretch}, {"none", Fit::None}};
        const auto found = fits.find(v);
        found != fits.end() ? void(m_result.options.picture.fit = found->second)
                            : Fail("--fit takes crop, pad, stretch or none");
    }

    void ParseDither(const std::string& v) {
        for (const imaging::BinarizationChoice& choice : imaging::kBinarizationChoices) {
            if (choice.name == v) {
                m_result.options.picture.dither = choice.method;
                return;
            }
        }
        Fail("--dither takes " + ListOf(BinarizationNames(), " or "));
    }

    void Positional() {
        if (m_positional.empty()) {
            Fail("no command given");
            return;
        }
        Options& o = m_result.options;
        const auto command = CommandNames().find(m_positional[0]);
        o.setting = protocol::FindSetting(m_positional[0]);
        if (command == CommandNames().end() && o.setting == nullptr) {
            Fail("unknown command " + m_positional[0]);
            return;
        }
        o.command = o.setting != nullptr ? Command::Setting : command->second;
        const std::vector<std::string> rest(m_positional.begin() + 1, m_positional.end());
        switch (o.command) {
            case Command::Setting:
                return Value(rest, std::string(o.setting->name), o.setting->choices - 1);
            case Command::Pattern:
                return Pattern(rest);
            case Command::Send:
                if (rest.size() != 1)
                    return Fail("send takes one picture file, or - for standard input");
                o.input = rest[0];
                return;
            case Command::Page:
                if (rest.size() != 1)
                    return Fail("page takes one page file");
                o.input = rest[0];
                return;
            case Command::Set:
                if (rest.size() != 2 || rest[1].find_first_of("\r\n") != std::string::npos)
                    return Fail("set takes a value's name and one line of text");
                o.value_name = rest[0];  // the hub judges the name
                o.value_text = rest[1];
                return;
            case Command::Unset:
                if (rest.size() != 1)
                    return Fail("unset takes a value's name");
                o.value_name = rest[0];
                return;
            default:
                if (!rest.empty())
                    Fail("unexpected argument " + rest[0]);
        }
    }

    void Value(const std::vector<std::string>& rest, const std::string& name, int max) {
        if (rest.size() != 1 || !ParseInRange(rest[0], 0, max, m_result.options.value)) {
            Fail(name + " takes one value from 0 to " + std::to_string(max));
        }
    }

    void Pattern(const std::vector<std::string>& rest) {
        const protocol::TestPattern* found =
            rest.size() == 1 ? protocol::FindPattern(rest[0]) : nullptr;
        found != nullptr ? void(m_result.options.fill = found->fill)
                         : Fail("pattern takes " + ListOf(PatternNames(), " or "));
    }

    bool Seen(const char* name) const { return std::ranges::count(m_seen, name) > 0; }

    void CheckCombinations() {
        const Command command = m_result.options.command;
        const bool picture_option =
            Seen("--fit") || Seen("--threshold") || Seen("--dither") || Seen("--invert");
        if (picture_option && !TakesPictureOptions(command)) {
            return Fail("picture options go with send and stream only");
        }
        if (Seen("--threshold") && Seen("--dither")) {
            return Fail("--threshold and --dither do not go together");
        }
        if (Seen("--long") && command != Command::Ports)
            return Fail("--long goes with ports");
        if (Seen("--preview") && command != Command::Send && command != Command::Page)
            return Fail("--preview goes with send and page");
        if (Seen("--set") && (command != Command::Page || !Seen("--preview")))
            return Fail("--set goes with page --preview; a running hub takes lcdctl set");
        const bool stream_option =
            Seen("--size") || Seen("--fps") || Seen("--no-drop") || Seen("--count");
        if (stream_option && command != Command::Stream) {
            return Fail("--size, --fps, --no-drop and --count go with stream");
        }
        if (Seen("--reconnect") && command != Command::Stream && command != Command::Send) {
            return Fail("--reconnect goes with send and stream");
        }
        CheckHubCombinations(command);
    }

    void CheckHubCombinations(Command command) {
        if (Seen("--hub") && Seen("--direct"))
            return Fail("--hub and --direct do not go together");
        const bool on_screen = DrawsOnScreen(m_result.options);
        std::vector<std::string_view> screen_commands = ScreenCommandNames();
        if ((Seen("--priority") || Seen("--for")) && !on_screen)
            return Fail("--priority and --for go with " + ListOf(screen_commands));
        screen_commands.push_back("release");
        if (Seen("--screen") && !on_screen && command != Command::Release)
            return Fail("--screen goes with " + ListOf(screen_commands));
        if (Seen("--wait") && command != Command::Send && command != Command::Pattern)
            return Fail("--wait goes with send and pattern");
        if (Seen("--direct") && IsHubsOwn(m_result.options))
            return Fail("release, status, set, unset and page are the hub's; --direct has no hub");
    }

    ParsedArguments m_result;
    std::vector<std::string> m_positional;
    std::vector<std::string> m_seen;
};

}  // namespace

bool DrawsOnScreen(const Options& options) {
    const Command command = options.command;
    return command == Command::Send || command == Command::Pattern || command == Command::Stream ||
           (command == Command::Setting && options.setting->per_screen);
}

bool IsHubsOwn(const Options& options) {
    const Command command = options.command;
    return command == Command::Release || command == Command::Status || command == Command::Set ||
           command == Command::Unset || (command == Command::Page && options.preview.empty());
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
    return Parser().Parse(args);
}

const char* UsageText() {
    static const std::string usage = Usage();
    return usage.c_str();
}

}  // namespace cli

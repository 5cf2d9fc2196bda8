#include "sim/command_line.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>

#include "sim/module_state_machine.h"

namespace sim {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

constexpr const char* kHelpOptions[] = {"--help", "-h"};

bool IsHelpOption(const std::string& arg) {
    return std::find(std::begin(kHelpOptions), std::end(kHelpOptions), arg) !=
           std::end(kHelpOptions);
}

using Flag = std::function<void(ModuleOptions&)>;
using Setter = std::function<bool(ModuleOptions&, const std::string&)>;
// An option of the program around the module, not of the module.
using ProgramSetter = std::function<bool(CommandLine&, const std::string&)>;

const std::map<std::string, Flag>& Flags() {
    static const std::map<std::string, Flag> flags = {
        {"--no-pace", [](ModuleOptions& o) { o.pace = false; }},
        {"--pace-lines", [](ModuleOptions& o) { o.pace_lines = true; }},
        {"--noise", [](ModuleOptions& o) { o.wrong_speed = WrongSpeedMode::Noise; }},
        {"--silent", [](ModuleOptions& o) { o.silent = true; }},
        {"--refuse-speed-change", [](ModuleOptions& o) { o.refuse_speed_change = true; }},
        {"--mute-after-speed-change", [](ModuleOptions& o) { o.mute_after_speed_change = true; }},
        {"--no-acknowledge", [](ModuleOptions& o) { o.no_acknowledge = true; }},
        {"--nul-before-line-feed", [](ModuleOptions& o) { o.nul_before_line_feed = true; }},
        {"--stall-after-header", [](ModuleOptions& o) { o.stall_after_header = true; }},
    };
    return flags;
}

bool SetNumber(int& target, const std::string& text, int min, int max) {
    const std::optional<int> value = ParseDecimal(text);
    if (!value || *value < min || *value > max) {
        return false;
    }
    target = *value;
    return true;
}

const std::map<std::string, Setter>& Setters() {
    static const std::map<std::string, Setter> setters = {
        {"--baud",
         [](ModuleOptions& o, const std::string& v) {
             return SetNumber(o.start_baud, v, kMinBaud, kMaxBaud);
         }},
        {"--link",
         [](ModuleOptions& o, const std::string& v) {
             o.link_path = v;
             return !v.empty();
         }},
        {"--reply-prefix",
         [](ModuleOptions& o, const std::string& v) { return UnescapeBytes(v, o.reply_prefix); }},
        {"--split-chunks",
         [](ModuleOptions& o, const std::string& v) {
             return SetNumber(o.split_chunks, v, 1, 1000);
         }},
        {"--split-gap-ms",
         [](ModuleOptions& o, const std::string& v) {
             return SetNumber(o.split_gap_ms, v, 0, 60000);
         }},
        {"--hang-up-after",
         [](ModuleOptions& o, const std::string& v) {
             int bytes = 0;
             const bool ok = SetNumber(bytes, v, 0, 999999999);
             o.hang_up_after_bytes = bytes;
             return ok;
         }},
        {"--screen",
         [](ModuleOptions& o, const std::string& v) {
             o.screen_png = v;
             return !v.empty();
         }},
        {"--transcript",
         [](ModuleOptions& o, const std::string& v) {
             o.transcript_path = v;
             return !v.empty();
         }},
        {"--latency-ms",
         [](ModuleOptions& o, const std::string& v) {
             return SetNumber(o.adapter_latency_ms, v, 0, 255);
         }},
        {"--payload-timeout-ms",
         [](ModuleOptions& o, const std::string& v) {
             return SetNumber(o.payload_timeout_ms, v, 0, 3600000);
         }},
    };
    return setters;
}

const std::map<std::string, ProgramSetter>& ProgramSetters() {
    static const std::map<std::string, ProgramSetter> setters = {
        {"--replug-ms", [](CommandLine& c,
                           const std::string& v) { return SetNumber(c.replug_ms, v, 0, 3600000); }},
    };
    return setters;
}

// The setter of option `name`; empty when it takes no value or is unknown.
ProgramSetter FindSetter(const std::string& name) {
    if (const auto setter = Setters().find(name); setter != Setters().end()) {
        return [&set = setter->second](CommandLine& c, const std::string& v) {
            return set(c.options, v);
        };
    }
    if (const auto setter = ProgramSetters().find(name); setter != ProgramSetters().end()) {
        return setter->second;
    }
    return {};
}

}  // namespace

bool UnescapeBytes(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
            case '0':
                bytes.push_back('\0');
                break;
            case 'n':
                bytes.push_back('\n');
                break;
            case 'r':
                bytes.push_back('\r');
                break;
            case 't':
                bytes.push_back('\t');
                break;
            case '\\':
                bytes.push_back('\\');
                break;
            case 'x': {
                const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    return false;
                }
                bytes.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsHelpOption(arg)) {
            result.help = true;
        } else if (const auto flag = Flags().find(arg); flag != Flags().end()) {
            flag->second(result.options);
        } else if (const ProgramSetter setter = FindSetter(arg)) {
            if (i + 1 == args.size()) {
                result.error = arg + " needs a value";
                return result;
            }
            if (!setter(result, args[++i])) {
                result.error = "bad value for " + arg + ": " + args[i];
                return result;
            }
        } else {
            result.error = "unknown argument: " + arg;
            return result;
        }
    }
    return result;
}

std::vector<std::string> OptionNames() {
    std::vector<std::string> names(std::begin(kHelpOptions), std::end(kHelpOptions));
    for (const auto& [name, flag] : Flags()) {
        names.push_back(name);
    }
    for (const auto& [name, setter] : Setters()) {
        names.push_back(name);
    }
    for (const auto& [name, setter] : ProgramSetters()) {
        names.push_back(name);
    }
    return names;
}

std::string UsageText() {
    return "usage: lcdsim [options]\n"
           "A simulated 480x480 LCD module on a pseudo-terminal. Prints the port path on\n"
           "stdout and serves it until SIGINT or SIGTERM. SIGUSR1 resets the module: it\n"
           "comes back at its start speed. SIGUSR2 unplugs the port, as a USB adapter\n"
           "pulled out, and plugs in a new one a moment later; its path is printed too.\n"
           "  -h, --help                show this text and exit\n"
           "  --baud N                  start speed (default 2400, the power-up speed)\n"
           "  --link PATH               symlink to the port, removed on exit and unplugging\n"
           "  --replug-ms N             after SIGUSR2, plug the port back in after N ms\n"
           "                            (default 1000)\n"
           "  --no-pace                 do not pace bytes at the line speed\n"
           "  --pace-lines              take command lines at line speed too, not only frames\n"
           "  --noise                   answer bytes at a wrong speed with noise\n"
           "  --screen FILE.png         write the screen after each frame\n"
           "  --transcript FILE         append every line sent and received\n"
           "  --latency-ms N            hold each reply until a USB adapter's latency timer\n"
           "                            next runs out, every N ms (16: an FTDI adapter's\n"
           "                            default, 1: low latency; default 0: at once)\n"
           "  --payload-timeout-ms N    drop a frame whose payload pauses for N ms\n"
           "                            (default 3000, 0: never)\n"
           "faults:\n"
           "  --silent                  never answer\n"
           "  --refuse-speed-change     answer a speed change without accepting it\n"
           "  --mute-after-speed-change change speed, then answer nothing more\n"
           "  --no-acknowledge          take settings and frames without a reply\n"
           "  --nul-before-line-feed    end every reply in \\0\\n\n"
           "  --reply-prefix TEXT       put TEXT before every reply (\\0 \\n \\xHH allowed)\n"
           "  --split-chunks N          write each reply in N chunks\n"
           "  --split-gap-ms G          with G ms between the chunks\n"
           "  --hang-up-after N         close the port after N received bytes\n"
           "  --stall-after-header      answer a frame header, then stop reading the port\n";
}

}  // namespace sim

#include "sim/module_state_machine.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace sim {

namespace {

constexpr std::string_view kHelloPrefix = "hello, please set baudrate to: ";
constexpr std::string_view kColorPrefix = "set color to: ";
constexpr std::string_view kBrightnessPrefix = "set brightness to: ";
constexpr std::string_view kLcdModelPrefix = "set LCD model to: ";
constexpr std::string_view kFrameHeaderPrefix = "pixels: ";
constexpr std::string_view kAcceptanceMark = "yes, current baudrate is: ";

constexpr int kMaxColor = 7;
constexpr int kMaxBrightness = 3;
constexpr int kMaxLcdModel = 1;

// A UART still decodes a line whose speed is off by a little.
constexpr double kSpeedTolerance = 0.02;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string_view> SplitAtCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t comma = text.find(',');
        parts.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

std::optional<int> ParseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

ModuleStateMachine::ModuleStateMachine(ModuleOptions options)
    : m_options(std::move(options)), m_baud(m_options.start_baud), m_screen(kFrameBytes, 0) {}

std::vector<ModuleAction> ModuleStateMachine::Feed(std::span<const std::uint8_t> bytes,
                                                   int host_baud, TimePoint taken_at) {
    std::vector<ModuleAction> out;
    std::size_t at = 0;
    // The speed is checked again after every step: a hello inside this chunk may have
    // moved the module away from the speed the rest of the chunk was sent at. A module
    // that stopped reading never looks at the rest.
    while (at < bytes.size() && !m_stopped_reading) {
        const auto rest = bytes.subspan(at);
        if (!UnderstandsSpeed(host_baud)) {
            at += TakeWrongSpeedBytes(rest, host_baud, taken_at, out);
            continue;
        }
        if (m_garbage_count > 0) {
            EndGarbageRun(out);
        }
        at += AwaitingPayload() ? TakePayloadBytes(rest, host_baud, taken_at, out)
                                : TakeLineBytes(rest, host_baud, taken_at, out);
    }
    return out;
}

std::vector<ModuleAction> ModuleStateMachine::LineIdle() {
    std::vector<ModuleAction> out;
    if (m_garbage_count > 0) {
        EndGarbageRun(out);
    }
    return out;
}

void ModuleStateMachine::AbandonFrame(TimePoint now) {
    DropPartialPayload(m_baud, now);
}

void ModuleStateMachine::PowerCycle(TimePoint now) {
    DropPartialLine();
    DropPartialPayload(m_baud, now);
    if (m_garbage_count > 0) {
        RecordGarbageRun();  // no noise after it: the UART is off
    }
    ModuleStateMachine powered_up(m_options);
    powered_up.m_transcript = std::move(m_transcript);
    powered_up.m_frames = m_frames;
    *this = std::move(powered_up);
}

void ModuleStateMachine::MarkSent(std::size_t entry, TimePoint at) {
    if (entry < m_transcript.size()) {
        m_transcript[entry].timestamp = at;
    }
}

std::vector<std::string> ModuleStateMachine::ReceivedLines() const {
    std::vector<std::string> lines;
    for (const TranscriptEntry& entry : m_transcript) {
        if (entry.from == TranscriptEntry::From::Host &&
            entry.kind == TranscriptEntry::Kind::Line) {
            std::string line = entry.bytes;
            if (!line.empty() && line.back() == '\n') {
                line.pop_back();
            }
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

bool ModuleStateMachine::UnderstandsSpeed(int host_baud) const {
    return std::abs(host_baud - m_baud) <= m_baud * kSpeedTolerance;
}

// Bytes at a wrong speed come out of the UART as garbage: whatever was half received is
// lost, and the run is kept (for the transcript) until the line goes quiet or changes.
std::size_t ModuleStateMachine::TakeWrongSpeedBytes(std::span<const std::uint8_t> bytes,
                                                    int host_baud, TimePoint taken_at,
                                                    std::vector<ModuleAction>& out) {
    DropPartialLine();
    DropPartialPayload(m_baud, taken_at);
    if (m_garbage_count > 0 && m_garbage_baud != host_baud) {
        EndGarbageRun(out);
    }
    if (m_garbage_count == 0) {
        m_garbage_started = taken_at;
    }
    m_garbage_baud = host_baud;
    const std::size_t room = kMaxGarbageRecord - m_garbage.size();
    m_garbage.append(reinterpret_cast<const char*>(bytes.data()), std::min(room, bytes.size()));
    m_garbage_count += bytes.size();
    return bytes.size();
}

std::size_t ModuleStateMachine::TakePayloadBytes(std::span<const std::uint8_t> bytes, int host_baud,
                                                 TimePoint taken_at,
                                                 std::vector<ModuleAction>& out) {
    if (m_payload.empty()) {
        m_payload_started = taken_at;
    }
    const std::size_t take = std::min(bytes.size(), m_payload_expected - m_payload.size());
    m_payload.insert(m_payload.end(), bytes.begin(), bytes.begin() + take);
    if (m_payload.size() == m_payload_expected) {
        FinishFrame(host_baud, out);
    }
    return take;
}

std::size_t ModuleStateMachine::TakeLineBytes(std::span<const std::uint8_t> bytes, int host_baud,
                                              TimePoint taken_at, std::vector<ModuleAction>& out) {
    const auto line_feed = std::find(bytes.begin(), bytes.end(), std::uint8_t{'\n'});
    const bool complete = line_feed != bytes.end();
    const std::size_t text_length = static_cast<std::size_t>(line_feed - bytes.begin());
    const std::size_t taken = complete ? text_length + 1 : text_length;

    if (m_discarding_overlong_line) {
        if (complete) {
            m_discarding_overlong_line = false;
            Reply("error: line too long", out);
        }
        return taken;
    }

    if (m_partial_line.empty()) {
        m_line_started = taken_at;
    }
    // One byte beyond the limit is enough to know the line is too long.
    const std::size_t room = kMaxLineLength + 1 - m_partial_line.size();
    m_partial_line.append(reinterpret_cast<const char*>(bytes.data()), std::min(room, text_length));
    if (m_partial_line.size() > kMaxLineLength) {
        Record(TranscriptEntry::From::Host, TranscriptEntry::Kind::Garbage, host_baud,
               std::exchange(m_partial_line, {}), m_line_started);
        if (complete) {
            Reply("error: line too long", out);
        } else {
            m_discarding_overlong_line = true;
        }
        return taken;
    }
    if (complete) {
        HandleLine(std::exchange(m_partial_line, {}), host_baud, out);
    }
    return taken;
}

void ModuleStateMachine::HandleLine(const std::string& line, int host_baud,
                                    std::vector<ModuleAction>& out) {
    Record(TranscriptEntry::From::Host, TranscriptEntry::Kind::Line, host_baud, line + "\n",
           m_line_started);
    const std::string_view text = line;
    if (StartsWith(text, kHelloPrefix)) {
        HandleHello(text.substr(kHelloPrefix.size()), out);
    } else if (StartsWith(text, kColorPrefix)) {
        HandleSetting(text.substr(kColorPrefix.size()), kMaxColor, m_color, "color", true, out);
    } else if (StartsWith(text, kBrightnessPrefix)) {
        HandleSetting(text.substr(kBrightnessPrefix.size()), kMaxBrightness, m_brightness,
                      "brightness", true, out);
    } else if (StartsWith(text, kLcdModelPrefix)) {
        HandleSetting(text.substr(kLcdModelPrefix.size()), kMaxLcdModel, m_lcd_model, "LCD model",
                      false, out);
    } else if (StartsWith(text, kFrameHeaderPrefix)) {
        HandleFrameHeader(text.substr(kFrameHeaderPrefix.size()), out);
    } else {
        Reply("error: unknown command", out);
    }
}

// The speed changes only once the acceptance has been sent: a module that does not
// answer keeps its speed, so that the host never loses it without being told.
void ModuleStateMachine::HandleHello(std::string_view argument, std::vector<ModuleAction>& out) {
    const std::optional<int> requested = ParseDecimal(argument);
    if (!requested) {
        Reply("error: bad baudrate", out);
        return;
    }
    const int current = m_baud;
    if (*requested != 0 && m_options.refuse_speed_change) {
        Reply("no, baudrate stays at " + std::to_string(current), out);
        return;
    }
    if (*requested != 0 && (*requested < kMinBaud || *requested > kMaxBaud)) {
        Reply("error: unsupported baudrate " + std::to_string(*requested), out);
        return;
    }
    const bool answers = !m_options.silent && !m_muted;
    Reply(std::string(kAcceptanceMark) + std::to_string(current), out);
    if (*requested == 0 || *requested == current || !answers) {
        return;
    }
    out.push_back({ModuleAction::Kind::ChangeSpeed, *requested, {}, false});
    m_baud = *requested;
    m_muted = m_options.mute_after_speed_change;
}

void ModuleStateMachine::HandleSetting(std::string_view argument, int max_value, int& setting,
                                       const char* name, bool shows_on_screen,
                                       std::vector<ModuleAction>& out) {
    const std::optional<int> value = ParseDecimal(argument);
    if (!value || *value > max_value) {
        Reply(std::string("error: ") + name + " must be 0.." + std::to_string(max_value), out);
        return;
    }
    setting = *value;
    if (shows_on_screen) {
        out.push_back({ModuleAction::Kind::Redraw, 0, {}, false});
    }
    if (!m_options.no_acknowledge) {
        Reply(std::string("ok, ") + name + " " + std::to_string(*value), out);
    }
}

// "x,y,width,height": a rectangle of whole bytes inside the screen, whose bytes follow
// row by row. The host sends the whole screen; anything else is taken if it fits.
void ModuleStateMachine::HandleFrameHeader(std::string_view argument,
                                           std::vector<ModuleAction>& out) {
    const std::vector<std::string_view> parts = SplitAtCommas(argument);
    std::optional<int> numbers[4];
    if (parts.size() == 4) {
        for (int i = 0; i < 4; ++i) {
            numbers[i] = ParseDecimal(parts[i]);
        }
    }
    const bool parsed = parts.size() == 4 && numbers[0] && numbers[1] && numbers[2] && numbers[3];
    const Rectangle rect =
        parsed ? Rectangle{*numbers[0], *numbers[1], *numbers[2], *numbers[3]} : Rectangle{};
    const bool fits = parsed && rect.width > 0 && rect.height > 0 && rect.x % 8 == 0 &&
                      rect.width % 8 == 0 && rect.x + rect.width <= kScreenWidth &&
                      rect.y + rect.height <= kScreenHeight;
    if (!fits) {
        Reply("error: bad rectangle", out);
        return;
    }
    m_payload_rect = rect;
    m_payload_expected = static_cast<std::size_t>(rect.width / 8) * rect.height;
    m_payload.clear();
    m_payload.reserve(m_payload_expected);
    Reply("ok, send " + std::to_string(m_payload_expected) + " bytes", out);
    if (m_options.stall_after_header) {
        m_stopped_reading = true;
        out.push_back({ModuleAction::Kind::StopReading, 0, {}, false});
    }
}

void ModuleStateMachine::FinishFrame(int host_baud, std::vector<ModuleAction>& out) {
    const std::size_t row_bytes = static_cast<std::size_t>(m_payload_rect.width / 8);
    for (int row = 0; row < m_payload_rect.height; ++row) {
        const auto source = m_payload.begin() + static_cast<std::ptrdiff_t>(row * row_bytes);
        const std::size_t target =
            static_cast<std::size_t>(m_payload_rect.y + row) * kRowBytes + m_payload_rect.x / 8;
        std::copy(source, source + static_cast<std::ptrdiff_t>(row_bytes),
                  m_screen.begin() + static_cast<std::ptrdiff_t>(target));
    }
    const std::size_t size = m_payload.size();
    m_payload.clear();
    m_payload_expected = 0;
    ++m_frames;
    Record(TranscriptEntry::From::Host, TranscriptEntry::Kind::Payload, host_baud,
           "<frame payload " + std::to_string(size) + " bytes>", m_payload_started);
    out.push_back({ModuleAction::Kind::Redraw, 0, {}, true});
    if (!m_options.no_acknowledge) {
        Reply("ok, frame " + std::to_string(size) + " bytes", out);
    }
}

void ModuleStateMachine::DropPartialLine() {
    if (!m_partial_line.empty()) {
        Record(TranscriptEntry::From::Host, TranscriptEntry::Kind::Garbage, m_baud,
               std::exchange(m_partial_line, {}), m_line_started);
    }
    m_discarding_overlong_line = false;
}

void ModuleStateMachine::DropPartialPayload(int baud, TimePoint now) {
    if (!AwaitingPayload()) {
        return;
    }
    Record(TranscriptEntry::From::Host, TranscriptEntry::Kind::Payload, baud,
           "<frame payload abandoned after " + std::to_string(m_payload.size()) + " of " +
               std::to_string(m_payload_expected) + " bytes>",
           m_payload.empty() ? now : m_payload_started);
    m_payload.clear();
    m_payload_expected = 0;
}

void ModuleStateMachine::EndGarbageRun(std::vector<ModuleAction>& out) {
    RecordGarbageRun();
    if (m_options.wrong_speed == WrongSpeedMode::Noise && !m_options.silent && !m_muted) {
        std::string noise = NextNoise();
        Record(TranscriptEntry::From::Module, TranscriptEntry::Kind::Noise, m_baud, noise);
        out.push_back(
            {ModuleAction::Kind::Noise, m_baud, std::move(noise), false, m_transcript.size() - 1});
    }
}

void ModuleStateMachine::RecordGarbageRun() {
    Record(TranscriptEntry::From::Host, TranscriptEntry::Kind::Garbage, m_garbage_baud,
           std::exchange(m_garbage, {}), m_garbage_started);
    m_garbage_count = 0;
}

void ModuleStateMachine::Reply(const std::string& text, std::vector<ModuleAction>& out) {
    if (m_options.silent || m_muted) {
        return;
    }
    std::string bytes = m_options.reply_prefix + text;
    if (m_options.nul_before_line_feed) {
        bytes.push_back('\0');
    }
    bytes.push_back('\n');
    Record(TranscriptEntry::From::Module, TranscriptEntry::Kind::Reply, m_baud, bytes);
    out.push_back(
        {ModuleAction::Kind::Reply, m_baud, std::move(bytes), false, m_transcript.size() - 1});
}

void ModuleStateMachine::Record(TranscriptEntry::From from, TranscriptEntry::Kind kind, int baud,
                                std::string bytes, TimePoint timestamp) {
    m_transcript.push_back(TranscriptEntry{from, baud, std::move(bytes), kind, timestamp});
}

// Three to six bytes with the top bit set: what a UART makes of a mismatched line. No
// line feed, so a host read runs into its time-out, and nothing resembling text.
std::string ModuleStateMachine::NextNoise() {
    auto next = [this] {
        m_noise_state ^= m_noise_state << 13;
        m_noise_state ^= m_noise_state >> 17;
        m_noise_state ^= m_noise_state << 5;
        return m_noise_state;
    };
    const std::size_t length = 3 + next() % 4;
    std::string noise;
    for (std::size_t i = 0; i < length; ++i) {
        noise.push_back(static_cast<char>(0x80 | (next() & 0x7f)));
    }
    return noise;
}

}  // namespace sim

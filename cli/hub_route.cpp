#include "cli/hub_route.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>

#include "cli/commands.h"
#include "cli/hub_channel.h"
#include "cli/terminal.h"
#include "pictures/module_text.h"
#include "protocol/commands.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kReplyTimeout{10000};
constexpr std::size_t kLongestLine = 4096;  // what the hub sends is bounded as what it reads

// One conversation with the hub: requests, their replies in order, events kept aside.
class HubConversation {
public:
    explicit HubConversation(std::unique_ptr<HubChannel> channel) : m_channel(std::move(channel)) {}

    // The greeting; empty when the hub did not give one in time.
    std::string Greeting() { return NextLine(Clock::now() + kReplyTimeout, false); }

    // The reply to `line` (and its payload); empty when the hub went away or fell silent.
    std::string Request(const std::string& line,
                        const std::vector<std::uint8_t>* payload = nullptr) {
        const std::string text = line + "\n";
        if (!m_channel->Write(text.data(), text.size(), kReplyTimeout) ||
            (payload && !m_channel->Write(payload->data(), payload->size(), kReplyTimeout))) {
            return {};
        }
        return NextLine(Clock::now() + kReplyTimeout, false);
    }

    // The next event until `deadline`; empty when none came.
    std::string NextEvent(Clock::time_point deadline) {
        if (!m_events.empty()) {
            std::string event = std::move(m_events.front());
            m_events.pop_front();
            return event;
        }
        return NextLine(deadline, true);
    }

private:
    std::string NextLine(Clock::time_point deadline, bool event_wanted) {
        for (;;) {
            const std::size_t end = m_in.find('\n');
            if (end != std::string::npos) {
                std::string line = m_in.substr(0, end);
                m_in.erase(0, end + 1);
                const bool event = line.rfind("event ", 0) == 0;
                if (event == event_wanted) {
                    return line;
                }
                if (event && m_events.size() < 64) {
                    m_events.push_back(std::move(line));
                }
                continue;
            }
            if (m_in.size() > kLongestLine || Interrupted()) {
                return {};
            }
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
            char chunk[4096];
            const auto got = left.count() > 0 ? m_channel->Read(chunk, sizeof chunk,
                                                                std::min(left, milliseconds(200)))
                                              : std::optional<std::size_t>(0);
            if (got && *got == 0) {
                return {};
            }
            m_in.append(chunk, got.value_or(0));
        }
    }

    std::unique_ptr<HubChannel> m_channel;
    std::string m_in;
    std::deque<std::string> m_events;
};

std::unique_ptr<HubConversation> Connect(ConsoleLog& log, const std::string& path) {
    std::string why;
    auto channel = ConnectHub(path, &why);
    if (!channel) {
        PrintError(log, "no lcdhub answers at " + path + ": " + why);
        return nullptr;
    }
    auto conversation = std::make_unique<HubConversation>(std::move(channel));
    if (conversation->Greeting().rfind("lcdhub 1 ", 0) != 0) {
        PrintError(log, "no lcdhub answers at " + path + ": it did not greet");
        return nullptr;
    }
    return conversation;
}

// kDone for "ok"; else the reason printed, as the hub gave it but made safe to print.
int Check(ConsoleLog& log, const std::string& reply) {
    if (reply == "ok" || reply.rfind("ok ", 0) == 0) {
        return kDone;
    }
    if (reply.empty()) {
        PrintError(log, Interrupted() ? "interrupted" : "lcdhub went away or did not answer");
        return Interrupted() ? kInterrupted : kNoLink;
    }
    const std::string reason = reply.rfind("error ", 0) == 0 ? reply.substr(6) : reply;
    PrintError(log, "lcdhub refused: " + EscapeForDisplay(reason));
    return kBadInput;
}

// The number in a `KEY=N` field of a reply or an event.
std::optional<std::uint64_t> FieldNumber(std::string_view line, std::string_view key) {
    for (std::size_t at = line.find(' '); at != std::string_view::npos;
         at = line.find(' ', at + 1)) {
        const std::string_view field = line.substr(at + 1, line.find(' ', at + 1) - at - 1);
        if (field.size() > key.size() && field.substr(0, key.size()) == key &&
            field[key.size()] == '=') {
            std::uint64_t value = 0;
            const char* end = field.data() + field.size();
            if (std::from_chars(field.data() + key.size() + 1, end, value).ptr == end) {
                return value;
            }
        }
    }
    return std::nullopt;
}

// The text of a `KEY=TEXT` field, up to the next space.
std::string FieldText(std::string_view line, std::string_view key) {
    std::string head(" ");
    head.append(key).append("=");
    const std::size_t at = line.find(head);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::string_view rest = line.substr(at + head.size());
    return std::string(rest.substr(0, rest.find(' ')));
}

std::string ScreenLine(const Options& options) {
    return "screen " + options.hub_screen + " priority=" + options.hub_priority + " expire=" +
           (options.hub_for_seconds > 0 ? std::to_string(options.hub_for_seconds) : "never") +
           " keep=yes";
}

// "NAME SCREEN VALUE", or "NAME VALUE" for a setting of the module itself.
std::string SettingRequest(const Options& options) {
    std::string request(options.setting->name);
    if (options.setting->per_screen) {
        request.append(" ").append(options.hub_screen);
    }
    return request.append(" ").append(std::to_string(options.value));
}

std::string RequestFor(const Options& options) {
    const std::string& screen = options.hub_screen;
    switch (options.command) {
        case Command::Setting:
            return SettingRequest(options);
        case Command::Release:
            return "delete " + screen;
        case Command::Status:
            return "status";
        case Command::Set:
            return "set " + options.value_name + " " + options.value_text;
        case Command::Unset:
            return "unset " + options.value_name;
        default:
            return "frame " + screen;
    }
}

// --wait: the module's final reply to the screen's frame, or why not.
int AwaitSent(const Options& options, ConsoleLog& log, HubConversation& hub, bool link_down,
              std::optional<std::uint64_t> version) {
    const std::string& screen = options.hub_screen;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(options.wait_seconds);
    for (std::string event; Clock::now() < deadline && !Interrupted();) {
        event = hub.NextEvent(deadline);
        if (IsEventOfOurFrame(event, "sent", screen, version)) {
            return kDone;
        }
        if (IsEventOfOurFrame(event, "unanswered", screen, version)) {
            PrintError(log, "the module did not answer");
            return kNoAnswer;
        }
        link_down = event.rfind("event link down", 0) == 0 ? true
                    : event.rfind("event link up", 0) == 0 ? false
                                                           : link_down;
    }
    if (Interrupted()) {
        return kInterrupted;
    }
    PrintError(
        log, std::string(link_down ? "the link to the module is down" : "the frame was not shown") +
                 " after " + std::to_string(options.wait_seconds) + " s");
    return kNoLink;
}

// The first place where a hub answers; empty when none does.
std::string AnsweringHub() {
    for (const std::string& candidate : HubCandidates()) {
        if (ConnectHub(candidate)) {
            return candidate;
        }
    }
    return {};
}

}  // namespace

bool IsEventOfOurFrame(const std::string& event, const std::string& kind, const std::string& screen,
                       std::optional<std::uint64_t> version) {
    const std::string head = "event " + kind + " " + screen;
    if (event.rfind(head, 0) != 0 || (event.size() > head.size() && event[head.size()] != ' ')) {
        return false;
    }
    const std::optional<std::uint64_t> told = FieldNumber(event, "version");
    return !version || !told || *told >= *version;
}

HubChoice FindHub(const Options& options) {
    if (options.direct) {
        return {};
    }
    if (!options.hub.empty()) {
        std::string why;
        return ConnectHub(options.hub, &why)
                   ? HubChoice{options.hub, {}}
                   : HubChoice{{}, "no lcdhub answers at " + options.hub + ": " + why};
    }
    return {AnsweringHub(), {}};
}

int RouteThroughHub(Options& options, ConsoleLog& log) {
    if (options.command == Command::Ports || options.command == Command::Connect) {
        options.hub.clear();  // the port's own business
        return kDone;
    }
    const HubChoice hub = FindHub(options);
    if (!hub.problem.empty()) {
        PrintError(log, hub.problem);
        return kNoLink;
    }
    options.hub = hub.path;
    if (hub.path.empty() && IsHubsOwn(options)) {
        PrintError(log, "no lcdhub answers; start one with lcdhub, or name its socket with --hub");
        return kNoLink;
    }
    return kDone;
}

std::string HubHint() {
    const std::string hub = AnsweringHub();
    return hub.empty() ? ""
                       : "; an lcdhub runs at " + hub +
                             " and may hold the port: leave out --direct to go through it";
}

int RunThroughHub(const Options& options, ConsoleLog& log, const std::string& path,
                  const std::vector<std::uint8_t>* frame) {
    std::unique_ptr<HubConversation> hub = Connect(log, path);
    if (!hub) {
        return kNoLink;
    }
    const bool waits = options.wait_seconds > 0 && frame != nullptr;
    bool link_down = false;  // as the hub last told; events say when it changes
    if (waits) {
        if (const int status = Check(log, hub->Request("watch on")); status != kDone) {
            return status;
        }
        link_down = hub->Request("status").find(" link=down ") != std::string::npos;
    }
    if (DrawsOnScreen(options)) {
        if (const int status = Check(log, hub->Request(ScreenLine(options))); status != kDone) {
            return status;
        }
    }
    const std::string request = options.command == Command::Page && frame != nullptr
                                    ? "page " + std::to_string(frame->size())
                                    : RequestFor(options);
    const std::string reply = hub->Request(request, frame);
    if (const int status = Check(log, reply); status != kDone) {
        return status;
    }
    if (options.command == Command::Page) {
        const std::string names = FieldText(reply, "pages");
        log.LogLine("pages on the hub: " + EscapeForDisplay(names));
    }
    if (options.command == Command::Status) {
        const std::string fields = EscapeForDisplay(reply.size() > 3 ? reply.substr(3) : "") + "\n";
        WriteOutput(fields.data(), fields.size());
    }
    return waits ? AwaitSent(options, log, *hub, link_down, FieldNumber(reply, "version")) : kDone;
}

class HubStream::Impl {
public:
    Impl(const Options& options, ConsoleLog& log, const std::string& path)
        : m_options(options), m_log(log), m_path(path) {}

    int Open() {
        m_hub = Connect(m_log, m_path);
        return m_hub ? Check(m_log, m_hub->Request(ScreenLine(m_options))) : kNoLink;
    }
    bool Send(const std::vector<std::uint8_t>& frame) {
        return Check(m_log, m_hub->Request("frame " + m_options.hub_screen, &frame)) == kDone;
    }

private:
    const Options& m_options;
    ConsoleLog& m_log;
    std::string m_path;
    std::unique_ptr<HubConversation> m_hub;
};

HubStream::HubStream(const Options& options, ConsoleLog& log, const std::string& path)
    : m_impl(std::make_unique<Impl>(options, log, path)) {}
HubStream::~HubStream() = default;
int HubStream::Open() {
    return m_impl->Open();
}
bool HubStream::Send(const std::vector<std::uint8_t>& frame) {
    return m_impl->Send(frame);
}

}  // namespace cli

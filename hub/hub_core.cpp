#include "hub/hub_core.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace hub {

namespace {

// The pages' screens belong to no connection: a client number never handed out.
constexpr ClientId kPagesClient = ~ClientId{0};
// What the module shows while the display is dark.
constexpr char kDarkScreen[] = "-";

std::string Reply(RuleError error) {
    return error == RuleError::None ? "ok" : "error " + std::string(RuleErrorText(error));
}

std::string VersionField(std::uint64_t version) {
    return "version=" + std::to_string(version);
}

}  // namespace

// A change of a screen's content or settings is answered with the version it made, so that
// a client can tell the events of its own frame from those of an earlier one.
std::string HubCore::ChangeReply(RuleError error, std::string_view name) const {
    const Screen* screen = error == RuleError::None ? m_rules.Find(name) : nullptr;
    return screen == nullptr ? Reply(error) : "ok " + VersionField(screen->version);
}

HubCore::HubCore(Display& display, Now now, Alarm alarm, std::int32_t baud)
    : m_display(display), m_now(std::move(now)), m_alarm(std::move(alarm)), m_baud(baud) {}

ClientId HubCore::Join(ClientOutput& output) {
    const ClientId id = m_next_client++;
    m_clients.emplace(id, Client{&output});
    return id;
}

void HubCore::Leave(ClientId client) {
    m_clients.erase(client);
    m_rules.DropClient(client, m_now());
    Reschedule();
}

std::string HubCore::Execute(ClientId client, const Command& command,
                             std::shared_ptr<const Frame> content) {
    const Clock::time_point now = m_now();
    std::string reply = std::visit(
        [&](const auto& c) -> std::string {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, ScreenCommand>) {
                return Reply(m_rules.Configure(client, c, now));
            } else if constexpr (std::is_same_v<C, FrameCommand> ||
                                 std::is_same_v<C, PictureCommand> ||
                                 std::is_same_v<C, GrayCommand>) {
                return ChangeReply(m_rules.Fill(client, c.name, std::move(content), now), c.name);
            } else if constexpr (std::is_same_v<C, PatternCommand>) {
                auto frame = std::make_shared<Frame>(protocol::FrameBytes, c.fill);
                return ChangeReply(m_rules.Fill(client, c.name, std::move(frame), now), c.name);
            } else if constexpr (std::is_same_v<C, SettingCommand>) {
                return ChangeReply(c.setting == &protocol::SettingNamed("color")
                                       ? m_rules.SetColor(client, c.name, c.value, now)
                                       : m_rules.SetBrightness(client, c.name, c.value, now),
                                   c.name);
            } else if constexpr (std::is_same_v<C, ModelCommand>) {
                m_display.SetModel(c.value);
                return "ok";
            } else if constexpr (std::is_same_v<C, DeleteCommand>) {
                const RuleError error = m_rules.Delete(client, c.name, now);
                if (error == RuleError::None && m_pages != nullptr) {
                    m_pages->Drop(c.name);  // a page's screen released
                }
                return Reply(error);
            } else if constexpr (std::is_same_v<C, SetCommand> || std::is_same_v<C, UnsetCommand>) {
                return ValueReply(command);
            } else if constexpr (std::is_same_v<C, PageCommand>) {
                return TakeClientPages(client, *content);
            } else if constexpr (std::is_same_v<C, WatchCommand>) {
                m_clients.at(client).watching = c.on;
                return "ok";
            } else if constexpr (std::is_same_v<C, StatusCommand>) {
                return StatusLine();
            } else {
                return "ok";  // quit: the server closes after the reply
            }
        },
        command);
    const bool shows_something = !std::holds_alternative<StatusCommand>(command) &&
                                 !std::holds_alternative<WatchCommand>(command) &&
                                 !std::holds_alternative<SetCommand>(command) &&
                                 !std::holds_alternative<UnsetCommand>(command) &&
                                 !std::holds_alternative<QuitCommand>(command) &&
                                 !std::holds_alternative<ModelCommand>(command);
    if (m_blanking && shows_something && reply.starts_with("ok")) {
        m_blanking->Woken(now);
    }
    Reschedule();
    return reply;
}

void HubCore::UseBlanking(const pages::DisplaySettings& settings,
                          std::function<int()> second_of_day) {
    m_blanking.emplace(settings);
    m_blanking->Changed(m_now());  // idle from the start
    m_second_of_day = std::move(second_of_day);
    Reschedule();
}

std::string HubCore::ValueReply(const Command& command) {
    if (m_pages == nullptr) {
        return "error no pages in this hub";
    }
    if (const auto* set = std::get_if<SetCommand>(&command)) {
        if (!m_set_values.contains(set->name) && m_set_values.size() >= kMostSetValues) {
            return "error too many values";
        }
        m_set_values.insert(set->name);
        m_pages->Set(set->name, set->text);
    } else {
        m_set_values.erase(std::get<UnsetCommand>(command).name);
        m_pages->Unset(std::get<UnsetCommand>(command).name);
    }
    return "ok";
}

// A client's pages: from its bytes, trusted with nothing but the built-in values and set.
// Each page is a source of its own, so that pages sent later replace only their namesakes.
std::string HubCore::TakeClientPages(ClientId client, const Frame& file) {
    if (m_pages == nullptr) {
        return "error no pages in this hub";
    }
    const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
    auto parsed = pages::ParsePageFile(text, pages::Trust::Client);
    if (const auto* mistake = std::get_if<pages::PageFileError>(&parsed)) {
        return "error " + std::to_string(mistake->place.line) + ":" +
               std::to_string(mistake->place.column) + ": " + mistake->reason;
    }
    return TakePages(client, {}, std::get<pages::PageFile>(parsed));
}

std::string HubCore::TakeOwnPages(const std::string& source, const pages::PageFile& file) {
    std::string reply = TakePages(kPagesClient, source, file);
    if (reply.starts_with("ok")) {
        for (const std::string& name : m_own_pages[source]) {
            if (std::ranges::count(file.pages, name, &pages::Page::name) == 0) {
                m_rules.Delete(kPagesClient, name, m_now());
            }
        }
        m_own_pages[source].clear();
        for (const pages::Page& page : file.pages) m_own_pages[source].push_back(page.name);
    }
    Reschedule();
    return reply;
}

// Each page becomes a kept screen that never expires. A name that is another client's
// unkept screen refuses the whole file before anything changes.
std::string HubCore::TakePages(ClientId owner, const std::string& source,
                               const pages::PageFile& file) {
    const Clock::time_point now = m_now();
    for (const pages::Page& page : file.pages) {
        const Screen* screen = m_rules.Find(page.name);
        if (screen != nullptr && !screen->kept && screen->owner != owner) {
            return "error name taken: " + page.name;
        }
    }
    std::string names;
    for (const pages::Page& page : file.pages) {
        const ScreenCommand screen{page.name, PriorityNamed(page.priority),
                                   static_cast<int>(page.duration.count()), 0, true};
        RuleError error = m_rules.Configure(owner, screen, now);
        if (error == RuleError::None && page.colour)
            error = m_rules.SetColor(owner, page.name, *page.colour, now);
        if (error == RuleError::None && page.brightness)
            error = m_rules.SetBrightness(owner, page.name, *page.brightness, now);
        if (error != RuleError::None) {
            return Reply(error) + ": " + page.name;
        }
        if (source.empty()) {
            m_pages->Replace("client:" + page.name,
                             pages::PageFile{std::nullopt, file.values, {page}});
        }
        names += (names.empty() ? "" : ",") + page.name;
    }
    if (!source.empty()) {
        m_pages->Replace(source, file);
    }
    return "ok pages=" + names;
}

void HubCore::PageDrawn(const std::string& name, std::shared_ptr<const Frame> frame) {
    const Clock::time_point now = m_now();
    if (m_rules.Fill(kPagesClient, name, std::move(frame), now) == RuleError::NoSuchScreen) {
        m_pages->Drop(name);  // its screen was released
        return;
    }
    if (m_blanking) {
        m_blanking->Changed(now);
    }
    Reschedule();
}

// The screen the rules choose goes to the display when it, or its content, changed.
void HubCore::Reschedule() {
    const Clock::time_point now = m_now();
    m_rules.Advance(now);
    for (const Transition& transition : m_rules.TakeTransitions()) {
        Broadcast(std::string(transition.shown ? "event shown " : "event hidden ") +
                  transition.name);
    }
    ShowOrDarken(now);
    m_alarm(NextChange(now));
}

// Dark: a clear screen at brightness 0, once. Lit again: the shown screen is sent again, at
// its own brightness or the one the module had before.
void HubCore::ShowOrDarken(Clock::time_point now) {
    if (m_blanking && m_blanking->Dark(now, m_second_of_day())) {
        if (!std::exchange(m_dark, true)) {
            m_given_name.clear();
            m_restore_brightness = true;
            const auto clear =
                std::make_shared<const Frame>(protocol::FrameBytes, protocol::kClearFill);
            m_dropped += m_display.Show(Showing{kDarkScreen, clear, std::nullopt, 0, 0}) ? 1 : 0;
            Broadcast("event dark");
        }
        return;
    }
    const bool waking = std::exchange(m_dark, false);
    if (waking) {
        Broadcast("event lit");
    }
    const Screen* shown = m_rules.Shown();
    if (shown != nullptr && (shown->name != m_given_name || shown->version != m_given_version)) {
        const bool after_dark = std::exchange(m_restore_brightness, false);
        m_given_name = shown->name;
        m_given_version = shown->version;
        std::optional<int> brightness = shown->brightness;
        if (brightness) {
            m_brightness = *brightness;
        } else if (after_dark) {
            brightness = m_brightness;
        }
        if (m_display.Show(
                Showing{shown->name, shown->content, shown->color, brightness, shown->version})) {
            ++m_dropped;
        }
    }
    if (shown == nullptr) {
        m_given_name.clear();  // a screen that comes back is sent again
    }
}

std::optional<Clock::time_point> HubCore::NextChange(Clock::time_point now) const {
    std::optional<Clock::time_point> next = m_rules.NextChange();
    if (m_blanking) {
        if (const auto check = m_blanking->NextCheck(now, m_second_of_day())) {
            next = next ? std::min(*next, *check) : *check;
        }
    }
    return next;
}

void HubCore::LinkUp(const std::string& port, std::int32_t baud) {
    m_link_up = true;
    m_port = port;
    m_baud = baud;
    Broadcast("event link up " + std::to_string(baud));
}

void HubCore::LinkDown(const std::string& reason) {
    m_link_up = false;
    std::string words = reason;
    for (char& c : words) {
        c = c == ' ' ? '_' : c;  // a value holds no spaces
    }
    Broadcast("event link down " + words);
}

void HubCore::FrameSent(const std::string& screen, std::uint64_t version) {
    ++m_sent;
    Broadcast("event sent " + screen + " " + VersionField(version));
}

void HubCore::FrameUnanswered(const std::string& screen, std::uint64_t version) {
    Broadcast("event unanswered " + screen + " " + VersionField(version));
}

std::vector<std::pair<std::string, pages::Value>> HubCore::StatusFields() const {
    const Screen* shown = m_rules.Shown();
    return {{"link", std::string(m_link_up ? "up" : "down")},
            {"port", m_port},
            {"speed", static_cast<double>(m_baud)},
            {"shown", shown ? shown->name : std::string("-")},
            {"sent", static_cast<double>(m_sent)},
            {"dropped", static_cast<double>(m_dropped)},
            {"dark", std::string(m_dark ? "yes" : "no")}};
}

std::string HubCore::StatusLine() const {
    std::string line = "ok";
    for (const auto& [key, value] : StatusFields()) {
        const double* number = std::get_if<double>(&value);
        line += " " + key + "=" +
                (number ? std::to_string(static_cast<long long>(*number))
                        : std::get<std::string>(value));
    }
    return line;
}

void HubCore::Broadcast(const std::string& event) {
    for (auto& [id, client] : m_clients) {
        if (client.watching) {
            client.output->Deliver(event);
        }
    }
}

}  // namespace hub

#include "hub/hub_core.h"

#include <type_traits>

namespace hub {

namespace {

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
                return ChangeReply(c.setting == Setting::Color
                                       ? m_rules.SetColor(client, c.name, c.value, now)
                                       : m_rules.SetBrightness(client, c.name, c.value, now),
                                   c.name);
            } else if constexpr (std::is_same_v<C, ModelCommand>) {
                m_display.SetModel(c.value);
                return "ok";
            } else if constexpr (std::is_same_v<C, DeleteCommand>) {
                return Reply(m_rules.Delete(client, c.name, now));
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
    Reschedule();
    return reply;
}

// The screen the rules choose goes to the display when it, or its content, changed.
void HubCore::Reschedule() {
    m_rules.Advance(m_now());
    for (const Transition& transition : m_rules.TakeTransitions()) {
        Broadcast(std::string(transition.shown ? "event shown " : "event hidden ") +
                  transition.name);
    }
    const Screen* shown = m_rules.Shown();
    if (shown != nullptr && (shown->name != m_given_name || shown->version != m_given_version)) {
        m_given_name = shown->name;
        m_given_version = shown->version;
        if (m_display.Show(Showing{shown->name, shown->content, shown->color, shown->brightness,
                                   shown->version})) {
            ++m_dropped;
        }
    }
    if (shown == nullptr) {
        m_given_name.clear();  // a screen that comes back is sent again
    }
    m_alarm(m_rules.NextChange());
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

std::string HubCore::StatusLine() const {
    const Screen* shown = m_rules.Shown();
    return std::string("ok link=") + (m_link_up ? "up" : "down") + " port=" + m_port +
           " speed=" + std::to_string(m_baud) + " shown=" + (shown ? shown->name : "-") +
           " sent=" + std::to_string(m_sent) + " dropped=" + std::to_string(m_dropped);
}

void HubCore::Broadcast(const std::string& event) {
    for (auto& [id, client] : m_clients) {
        if (client.watching) {
            client.output->Deliver(event);
        }
    }
}

}  // namespace hub

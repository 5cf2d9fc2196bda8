#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "hub/hub_protocol.h"
#include "hub/link_worker.h"
#include "hub/screen_rules.h"

// The hub's state and its answers, apart from sockets and threads: the screens, who
// watches, the link as last told, and what goes to the module next.
namespace hub {

// A client's way out: lines the server queues for it.
class ClientOutput {
public:
    virtual ~ClientOutput() = default;
    virtual void Deliver(const std::string& line) = 0;
};

class HubCore {
public:
    using Now = std::function<Clock::time_point()>;
    // Told when the screens next change by themselves (a turn, an expiry); nullopt: never.
    using Alarm = std::function<void(std::optional<Clock::time_point>)>;

    HubCore(Display& display, Now now, Alarm alarm, std::int32_t baud);

    ClientId Join(ClientOutput& output);
    void Leave(ClientId client);

    // The reply line to a command; `content` is the frame a payload command brought.
    std::string Execute(ClientId client, const Command& command,
                        std::shared_ptr<const Frame> content = nullptr);
    // What lets the module's screen follow the rules: the alarm rings it.
    void Reschedule();

    void LinkUp(const std::string& port, std::int32_t baud);
    void LinkDown(const std::string& reason);
    void FrameSent(const std::string& screen, std::uint64_t version);
    void FrameUnanswered(const std::string& screen, std::uint64_t version);

    std::string StatusLine() const;
    std::size_t Clients() const { return m_clients.size(); }

private:
    struct Client {
        ClientOutput* output;
        bool watching = false;
    };
    void Broadcast(const std::string& event);
    std::string ChangeReply(RuleError error, std::string_view name) const;

    Display& m_display;
    Now m_now;
    Alarm m_alarm;
    ScreenRules m_rules;
    std::map<ClientId, Client> m_clients;
    ClientId m_next_client = 1;

    bool m_link_up = false;
    std::string m_port = "-";
    std::int32_t m_baud;
    std::string m_given_name;  // the screen whose frame went to the display last
    std::uint64_t m_given_version = 0;
    long m_sent = 0;
    long m_dropped = 0;
};

}  // namespace hub

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hub/blanking.h"
#include "hub/hub_protocol.h"
#include "hub/link_worker.h"
#include "hub/page_host.h"
#include "hub/screen_rules.h"
#include "pages/value.h"

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

    // Pages: the host that draws them, and the display's dark hours and idle time, with
    // the second of the local day for the hours.
    void UsePages(PageHost& host) { m_pages = &host; }
    void UseBlanking(const pages::DisplaySettings& settings, std::function<int()> second_of_day);
    // The hub's own pages from a file: their screens are made, changed, or gone with them.
    // The reply's words: "ok pages=NAME,..." or "error ...".
    std::string TakeOwnPages(const std::string& source, const pages::PageFile& file);
    // A page's frame, drawn by the host.
    void PageDrawn(const std::string& name, std::shared_ptr<const Frame> frame);

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
    // The same fields by name, in order: numbers as numbers, for the pages' "hub." values.
    std::vector<std::pair<std::string, pages::Value>> StatusFields() const;
    std::size_t Clients() const { return m_clients.size(); }

private:
    struct Client {
        ClientOutput* output;
        bool watching = false;
    };
    void Broadcast(const std::string& event);
    std::string ChangeReply(RuleError error, std::string_view name) const;
    std::string TakeClientPages(ClientId client, const Frame& file);
    std::string TakePages(ClientId owner, const std::string& source, const pages::PageFile& file);
    std::string ValueReply(const Command& command);
    void ShowOrDarken(Clock::time_point now);
    std::optional<Clock::time_point> NextChange(Clock::time_point now) const;

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

    PageHost* m_pages = nullptr;
    // Values clients set, by name: bounded, as everything a client makes the hub keep.
    static constexpr std::size_t kMostSetValues = 1024;
    std::set<std::string> m_set_values;
    std::map<std::string, std::vector<std::string>> m_own_pages;  // by file
    std::optional<Blanking> m_blanking;
    std::function<int()> m_second_of_day;
    bool m_dark = false;
    bool m_restore_brightness = false;
    int m_brightness = protocol::kBrightnessChoices - 1;  // the last sent, to come back to
};

}  // namespace hub

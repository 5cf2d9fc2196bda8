#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hub/hub_protocol.h"

// Which screen the module shows: classes, turns, expiry and ownership, on a clock that is
// passed in, so that tests run on a fake one.
namespace hub {

using Clock = std::chrono::steady_clock;
using ClientId = std::uint64_t;
using Frame = std::vector<std::uint8_t>;

struct Screen {
    std::string name;
    Priority priority = Priority::Info;
    std::chrono::seconds duration{5};
    std::optional<Clock::time_point> expires;
    bool kept = false;
    ClientId owner = 0;                    // the connection an unkept screen belongs to
    std::shared_ptr<const Frame> content;  // null until the screen is first filled
    std::optional<int> color;
    std::optional<int> brightness;
    std::uint64_t version = 0;  // grows with every change of content, colour or brightness
};

enum class RuleError { None, NameTaken, NoSuchScreen, TooManyScreens, TooManyKept };
// The REASON of the protocol's "error REASON": "name taken", "no such screen",
// "too many screens", "too many kept screens".
std::string_view RuleErrorText(RuleError error);

// A screen that came up or went away, for the "event shown"/"event hidden" lines.
struct Transition {
    std::string name;
    bool shown = false;
};

class ScreenRules {
public:
    ScreenRules(std::size_t unkept_per_client = 16, std::size_t kept_in_all = 64);

    // Creates the screen or changes it; options left out keep their values (defaults for a
    // new screen: info, 5 s, no expiry). keep=yes turns a screen kept, with its content.
    // An unkept screen of another client is "name taken".
    RuleError Configure(ClientId client, const ScreenCommand& command, Clock::time_point now);
    RuleError Fill(ClientId client, std::string_view name, std::shared_ptr<const Frame> frame,
                   Clock::time_point now);
    RuleError SetColor(ClientId client, std::string_view name, int value, Clock::time_point now);
    RuleError SetBrightness(ClientId client, std::string_view name, int value,
                            Clock::time_point now);
    RuleError Delete(ClientId client, std::string_view name, Clock::time_point now);
    // The client's unkept screens go; its kept ones stay.
    void DropClient(ClientId client, Clock::time_point now);

    // Expires screens and moves turns on up to `now`. Every mutator above calls it too.
    void Advance(Clock::time_point now);
    // The screen to show, or nullptr when no screen has content (the module keeps its frame).
    const Screen* Shown() const;
    // When Advance next has something to do (a turn ends, a screen expires); nullopt: nothing
    // will change until a command comes.
    std::optional<Clock::time_point> NextChange() const;
    // What came up and went away since the last call, in order.
    std::vector<Transition> TakeTransitions();

    // Pointers from Find and Shown hold until the next call that changes the rules.
    const Screen* Find(std::string_view name) const;
    std::size_t Count() const;

private:
    struct Entry {
        Screen screen;
        std::uint64_t serial = 0;  // creation order, never reused; 0 is no screen
    };
    using Entries = std::vector<Entry>;

    RuleError Change(ClientId client, std::string_view name, Clock::time_point now,
                     const std::function<void(Screen&)>& change);
    RuleError Reach(ClientId client, std::string_view name, Clock::time_point now,
                    Entries::iterator& entry);
    RuleError MayChange(ClientId client, const Entry& entry) const;
    std::size_t UnkeptOf(ClientId client) const;
    std::size_t KeptCount() const;
    const Entry* EntryOf(std::uint64_t serial) const;
    Entries::iterator Remove(Entries::iterator entry);

    void Step(Clock::time_point at);
    void Select(Clock::time_point at);
    void Show(const Entry* entry, Clock::time_point at);
    std::optional<Priority> WinningClass() const;
    const Entry* NextInClass(Priority priority, std::uint64_t after) const;
    std::optional<Clock::time_point> TurnEnd() const;

    std::size_t m_unkept_per_client;
    std::size_t m_kept_in_all;
    Entries m_screens;  // in creation order
    std::uint64_t m_next_serial = 1;
    std::uint64_t m_shown = 0;
    Clock::time_point m_shown_since{};
    // Where each class's turns stand: its screen shown last, which comes back first.
    std::array<std::uint64_t, kPriorityCount> m_last_of_class{};
    Clock::time_point m_now{};  // how far the rules have advanced
    std::vector<Transition> m_transitions;
};

}  // namespace hub

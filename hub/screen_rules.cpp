#include "hub/screen_rules.h"

#include <algorithm>
#include <utility>

namespace hub {

namespace {

template <class Entries>
auto Named(Entries& entries, std::string_view name) {
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto& entry) { return entry.screen.name == name; });
}

bool HasContent(const Screen& screen) {
    return screen.content != nullptr;
}

std::size_t ClassIndex(Priority priority) {
    return static_cast<std::size_t>(priority);
}

// A setting sent again with the value it has is no change: the module needs nothing resent.
void Set(std::optional<int>& setting, int value, std::uint64_t& version) {
    if (setting != value) {
        setting = value;
        ++version;
    }
}

}  // namespace

std::string_view RuleErrorText(RuleError error) {
    switch (error) {
        case RuleError::None:
            return "";
        case RuleError::NameTaken:
            return "name taken";
        case RuleError::NoSuchScreen:
            return "no such screen";
        case RuleError::TooManyScreens:
            return "too many screens";
        case RuleError::TooManyKept:
            return "too many kept screens";
    }
    return "";
}

ScreenRules::ScreenRules(std::size_t unkept_per_client, std::size_t kept_in_all)
    : m_unkept_per_client(unkept_per_client), m_kept_in_all(kept_in_all) {}

RuleError ScreenRules::Configure(ClientId client, const ScreenCommand& command,
                                 Clock::time_point now) {
    Advance(now);
    auto entry = Named(m_screens, command.name);
    const bool exists = entry != m_screens.end();
    RuleError error = exists ? MayChange(client, *entry) : RuleError::None;
    const bool turns_kept = command.keep && !(exists && entry->screen.kept);
    if (error == RuleError::None && turns_kept && KeptCount() >= m_kept_in_all)
        error = RuleError::TooManyKept;
    if (error == RuleError::None && !exists && !command.keep &&
        UnkeptOf(client) >= m_unkept_per_client)
        error = RuleError::TooManyScreens;
    if (error != RuleError::None)
        return error;

    if (!exists) {
        Screen screen;
        screen.name = command.name;
        screen.owner = client;
        m_screens.push_back({std::move(screen), m_next_serial++});
        entry = std::prev(m_screens.end());
    }
    Screen& screen = entry->screen;
    if (command.priority)
        screen.priority = *command.priority;
    // The parser takes durations from 1 s; a shorter one would turn the screens in a loop.
    if (command.duration_s)
        screen.duration = std::chrono::seconds(std::max(1, *command.duration_s));
    if (command.expire_s && *command.expire_s > 0)
        screen.expires = m_now + std::chrono::seconds(*command.expire_s);
    else if (command.expire_s)
        screen.expires.reset();
    screen.kept = screen.kept || command.keep;
    Advance(now);
    return RuleError::None;
}

RuleError ScreenRules::Fill(ClientId client, std::string_view name,
                            std::shared_ptr<const Frame> frame, Clock::time_point now) {
    return Change(client, name, now, [&](Screen& screen) {
        screen.content = std::move(frame);
        ++screen.version;
    });
}

RuleError ScreenRules::SetColor(ClientId client, std::string_view name, int value,
                                Clock::time_point now) {
    return Change(client, name, now,
                  [&](Screen& screen) { Set(screen.color, value, screen.version); });
}

RuleError ScreenRules::SetBrightness(ClientId client, std::string_view name, int value,
                                     Clock::time_point now) {
    return Change(client, name, now,
                  [&](Screen& screen) { Set(screen.brightness, value, screen.version); });
}

RuleError ScreenRules::Delete(ClientId client, std::string_view name, Clock::time_point now) {
    Entries::iterator entry;
    if (const RuleError error = Reach(client, name, now, entry); error != RuleError::None)
        return error;
    Remove(entry);
    Advance(now);
    return RuleError::None;
}

void ScreenRules::DropClient(ClientId client, Clock::time_point now) {
    Advance(now);
    for (auto entry = m_screens.begin(); entry != m_screens.end();) {
        if (!entry->screen.kept && entry->screen.owner == client)
            entry = Remove(entry);
        else
            ++entry;
    }
    Advance(now);
}

// Events are taken in the order they fell due, so that a late call shows what a punctual
// one would have, and a turn starts when the one before it ended.
void ScreenRules::Advance(Clock::time_point now) {
    Select(m_now);  // a change made since takes effect when it was made
    while (const auto due = NextChange()) {
        if (*due > now)
            break;
        Step(std::max(*due, m_now));
    }
    m_now = std::max(m_now, now);
}

const Screen* ScreenRules::Shown() const {
    const Entry* shown = EntryOf(m_shown);
    return shown ? &shown->screen : nullptr;
}

std::optional<Clock::time_point> ScreenRules::NextChange() const {
    std::optional<Clock::time_point> next = TurnEnd();
    for (const Entry& entry : m_screens) {
        const auto& expires = entry.screen.expires;
        if (expires && (!next || *expires < *next))
            next = expires;
    }
    return next;
}

std::vector<Transition> ScreenRules::TakeTransitions() {
    return std::exchange(m_transitions, {});
}

const Screen* ScreenRules::Find(std::string_view name) const {
    const auto entry = Named(m_screens, name);
    return entry == m_screens.end() ? nullptr : &entry->screen;
}

std::size_t ScreenRules::Count() const {
    return m_screens.size();
}

RuleError ScreenRules::Change(ClientId client, std::string_view name, Clock::time_point now,
                              const std::function<void(Screen&)>& change) {
    Entries::iterator entry;
    if (const RuleError error = Reach(client, name, now, entry); error != RuleError::None)
        return error;
    change(entry->screen);
    Advance(now);
    return RuleError::None;
}

// Brings the rules up to `now`, then finds the screen named, if `client` may change it.
RuleError ScreenRules::Reach(ClientId client, std::string_view name, Clock::time_point now,
                             Entries::iterator& entry) {
    Advance(now);
    entry = Named(m_screens, name);
    return entry == m_screens.end() ? RuleError::NoSuchScreen : MayChange(client, *entry);
}

RuleError ScreenRules::MayChange(ClientId client, const Entry& entry) const {
    const bool others = !entry.screen.kept && entry.screen.owner != client;
    return others ? RuleError::NameTaken : RuleError::None;
}

std::size_t ScreenRules::UnkeptOf(ClientId client) const {
    return std::count_if(m_screens.begin(), m_screens.end(), [&](const Entry& entry) {
        return !entry.screen.kept && entry.screen.owner == client;
    });
}

std::size_t ScreenRules::KeptCount() const {
    return std::count_if(m_screens.begin(), m_screens.end(),
                         [](const Entry& entry) { return entry.screen.kept; });
}

const ScreenRules::Entry* ScreenRules::EntryOf(std::uint64_t serial) const {
    const auto entry = std::find_if(m_screens.begin(), m_screens.end(),
                                    [&](const Entry& e) { return e.serial == serial; });
    return serial == 0 || entry == m_screens.end() ? nullptr : &*entry;
}

ScreenRules::Entries::iterator ScreenRules::Remove(Entries::iterator entry) {
    if (entry->serial == m_shown) {
        m_transitions.push_back({entry->screen.name, false});
        m_shown = 0;
    }
    return m_screens.erase(entry);
}

void ScreenRules::Step(Clock::time_point at) {
    m_now = at;
    for (auto entry = m_screens.begin(); entry != m_screens.end();) {
        const auto& expires = entry->screen.expires;
        entry = expires && *expires <= at ? Remove(entry) : std::next(entry);
    }
    if (const auto end = TurnEnd(); end && *end <= at)
        Show(NextInClass(EntryOf(m_shown)->screen.priority, m_shown), at);
    Select(at);
}

// The shown screen stays while its class wins; otherwise the winning class takes up its
// turns where it left them: its screen shown last, or the one after it.
void ScreenRules::Select(Clock::time_point at) {
    const auto winner = WinningClass();
    if (!winner) {
        Show(nullptr, at);
        return;
    }
    const Entry* shown = EntryOf(m_shown);
    if (shown && HasContent(shown->screen) && shown->screen.priority == *winner)
        return;
    const std::uint64_t last = m_last_of_class[ClassIndex(*winner)];
    const Entry* resumed = EntryOf(last);
    const bool resumes =
        resumed && HasContent(resumed->screen) && resumed->screen.priority == *winner;
    Show(resumes ? resumed : NextInClass(*winner, last), at);
}

void ScreenRules::Show(const Entry* entry, Clock::time_point at) {
    const std::uint64_t serial = entry ? entry->serial : 0;
    if (serial == m_shown)
        return;
    if (const Entry* old = EntryOf(m_shown))
        m_transitions.push_back({old->screen.name, false});
    m_shown = serial;
    m_shown_since = at;
    if (entry) {
        m_transitions.push_back({entry->screen.name, true});
        m_last_of_class[ClassIndex(entry->screen.priority)] = serial;
    }
}

std::optional<Priority> ScreenRules::WinningClass() const {
    std::optional<Priority> winner;
    for (const Entry& entry : m_screens) {
        const Priority priority = entry.screen.priority;
        if (HasContent(entry.screen) && (!winner || priority < *winner))
            winner = priority;
    }
    return winner;
}

// The first screen with content of the class after `after` in creation order, around to
// the start; never `after` itself.
const ScreenRules::Entry* ScreenRules::NextInClass(Priority priority, std::uint64_t after) const {
    const auto fits = [&](const Entry& entry) {
        return entry.serial != after && entry.screen.priority == priority &&
               HasContent(entry.screen);
    };
    const auto split = std::find_if(m_screens.begin(), m_screens.end(),
                                    [&](const Entry& entry) { return entry.serial > after; });
    if (const auto later = std::find_if(split, m_screens.end(), fits); later != m_screens.end())
        return &*later;
    const auto earlier = std::find_if(m_screens.begin(), split, fits);
    return earlier == split ? nullptr : &*earlier;
}

// Only while another screen of the shown one's class has content to take the turn over.
std::optional<Clock::time_point> ScreenRules::TurnEnd() const {
    const Entry* shown = EntryOf(m_shown);
    if (!shown || !NextInClass(shown->screen.priority, m_shown))
        return std::nullopt;
    return m_shown_since + shown->screen.duration;
}

}  // namespace hub

#pragma once

#include <chrono>
#include <optional>

#include "hub/screen_rules.h"
#include "pages/page_file.h"

namespace hub {

// When the display goes dark: during hours of the day, and when no screen's content has
// changed for a while. Something new a client shows wakes it in its dark hours for as long
// as the idle time (a minute when none is set). On the clock passed in, the time of day
// told alongside it.
class Blanking {
public:
    explicit Blanking(pages::DisplaySettings settings) : m_settings(settings) {}

    // A screen's content, colour or brightness changed: the idle time starts again.
    void Changed(Clock::time_point now) { m_changed = now; }
    // A client showed something new.
    void Woken(Clock::time_point now) {
        m_changed = now;
        m_woken = now;
    }

    bool Dark(Clock::time_point now, int second_of_day) const;
    // When Dark may next give another answer; nullopt: not until something changes.
    std::optional<Clock::time_point> NextCheck(Clock::time_point now, int second_of_day) const;

private:
    bool InDarkHours(int second_of_day) const;
    std::chrono::seconds WakeFor() const;

    pages::DisplaySettings m_settings;
    std::optional<Clock::time_point> m_changed;
    std::optional<Clock::time_point> m_woken;
};

}  // namespace hub

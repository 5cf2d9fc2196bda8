#include "hub/blanking.h"

#include <algorithm>

namespace hub {

namespace {

constexpr int kSecondsADay = 24 * 60 * 60;

}  // namespace

bool Blanking::InDarkHours(int second_of_day) const {
    if (!m_settings.blank_minutes) {
        return false;
    }
    const auto [from, to] = *m_settings.blank_minutes;
    const int minute = second_of_day / 60;
    return from < to ? minute >= from && minute < to : minute >= from || minute < to;
}

std::chrono::seconds Blanking::WakeFor() const {
    return m_settings.blank_after.value_or(std::chrono::seconds(60));
}

bool Blanking::Dark(Clock::time_point now, int second_of_day) const {
    const bool woken = m_woken && now < *m_woken + WakeFor();
    const bool idle =
        m_settings.blank_after && (!m_changed || now >= *m_changed + *m_settings.blank_after);
    return (InDarkHours(second_of_day) && !woken) || idle;
}

std::optional<Clock::time_point> Blanking::NextCheck(Clock::time_point now,
                                                     int second_of_day) const {
    std::optional<Clock::time_point> next;
    const auto sooner = [&](Clock::time_point at) {
        if (at > now)
            next = next ? std::min(*next, at) : at;
    };
    if (m_settings.blank_minutes) {
        // The next edge of the dark hours, in whole seconds from now.
        for (const int minute :
             {m_settings.blank_minutes->first, m_settings.blank_minutes->second}) {
            const int ahead =
                ((minute * 60 - second_of_day) % kSecondsADay + kSecondsADay) % kSecondsADay;
            sooner(now + std::chrono::seconds(ahead == 0 ? kSecondsADay : ahead));
        }
        if (m_woken)
            sooner(*m_woken + WakeFor());
    }
    if (m_settings.blank_after && m_changed) {
        sooner(*m_changed + *m_settings.blank_after);
    }
    return next;
}

}  // namespace hub

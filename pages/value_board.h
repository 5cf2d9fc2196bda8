#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pages/page_drawing.h"
#include "pages/page_file.h"
#include "pages/system_values.h"
#include "pages/value.h"

namespace pages {

// A page file's values kept fresh: each source read at its own interval, a graph's samples
// kept, and a source that fails logged once until it works again; its values then show "?".
class ValueBoard {
public:
    using Clock = std::chrono::steady_clock;
    using Log = std::function<void(const std::string&)>;

    ValueBoard(std::filesystem::path system_root, Log log);

    // The sources of the pages' files. Only the built-in groups that the pages show are read,
    // at their own intervals unless a file sets them. Values a graph draws keep their samples.
    void Use(const std::vector<ValueSource>& sources, const std::vector<Page>& pages);

    // Reads every source that is due, or all with `all`; the time the next one is due.
    Clock::time_point Refresh(Clock::time_point now, Moment wall, bool all = false);

    // A value a client gives; it lasts until unset.
    void Set(const std::string& name, const std::string& text);
    void Unset(const std::string& name);

    // The hub's own values ("hub.link", "hub.speed", ...), read as a group at its interval, so
    // that a page showing the frames sent does not draw a frame for each one.
    void UseHubValues(std::function<ValueMap()> read) { m_hub_values = std::move(read); }

    const ValueMap& Values() const { return m_values; }
    const SampleHistory& Samples() const { return m_samples; }

    // The most samples a graph can show: one a pixel column of the screen.
    static constexpr std::size_t kMostSamples = 480;
    // The most bytes of a command's output or a file's first line that are read.
    static constexpr std::size_t kOutputLimit = 4096;

private:
    struct Source {
        ValueSource declared;
        std::optional<SystemGroup> group;
        Clock::time_point due{};
        bool failing = false;
    };

    std::optional<std::string> Read(Source& source, Clock::time_point now, Moment wall);
    void Note(Source& source, const std::optional<std::string>& error);
    void Sample(const std::string& name);

    SystemValues m_system;
    Log m_log;
    std::vector<Source> m_sources;
    std::set<std::string> m_graphed;
    ValueMap m_values;
    ValueMap m_set;
    SampleHistory m_samples;
    std::function<ValueMap()> m_hub_values;
};

// The values the pages show: in a text's fields, or drawn by a bar or a graph.
std::set<std::string> ShownValues(const std::vector<Page>& pages);
// The values the pages' graphs draw, whose samples are kept.
std::set<std::string> GraphedValues(const std::vector<Page>& pages);

}  // namespace pages

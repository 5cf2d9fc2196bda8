#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pages/page_file.h"
#include "pages/picture_cache.h"
#include "pages/value_board.h"

namespace pages {

// A page's frame that changed since it was last given out.
struct DrawnPage {
    std::string name;
    std::shared_ptr<const std::vector<std::uint8_t>> frame;
};

// The pages on show, from several sources (the hub's own files, clients), drawn whenever
// their values are read, and given out only when their pixels changed: a clock that shows
// minutes costs one frame a minute. On a clock that is passed in, so that tests and
// benchmarks run minutes in no time.
class PageDeck {
public:
    using Clock = ValueBoard::Clock;
    using Log = std::function<void(const std::string&)>;

    PageDeck(std::filesystem::path system_root, FontLibrary& fonts, Log log);

    // The pages of a source replace those it gave before and any of the same names; the
    // source's own pages that are gone are returned, so that their screens can go too.
    // std::runtime_error names a font that cannot be had; nothing is replaced then.
    std::vector<std::string> Replace(const std::string& source, const PageFile& file);
    // A page whose screen went away.
    void Drop(const std::string& name);

    void UseHubValues(std::function<ValueMap()> read) { m_values.UseHubValues(std::move(read)); }
    void Set(const std::string& name, const std::string& text);
    void Unset(const std::string& name);

    // Reads the values that are due and draws the pages; those whose frames changed.
    std::vector<DrawnPage> Advance(Clock::time_point now, Moment wall);
    // When Advance next has something to do; nullopt while there are no pages.
    std::optional<Clock::time_point> NextDue() const { return m_next_due; }

    std::size_t Count() const { return m_pages.size(); }

private:
    struct Shown {
        Page page;
        std::string source;
        std::shared_ptr<PictureCache> pictures;
        std::shared_ptr<const std::vector<std::uint8_t>> last;
    };
    void UseValues();

    FontLibrary& m_fonts;
    Log m_log;
    ValueBoard m_values;
    std::map<std::string, std::vector<ValueSource>> m_sources;
    std::map<std::string, Shown> m_pages;
    bool m_values_changed = true;
    std::optional<Clock::time_point> m_next_due;
};

}  // namespace pages

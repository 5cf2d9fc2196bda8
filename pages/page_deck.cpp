#include "pages/page_deck.h"

#include <algorithm>

#include "pages/page_drawing.h"

namespace pages {

PageDeck::PageDeck(std::filesystem::path system_root, FontLibrary& fonts, Log log)
    : m_fonts(fonts), m_log(log), m_values(std::move(system_root), log) {}

std::vector<std::string> PageDeck::Replace(const std::string& source, const PageFile& file) {
    for (const Page& page : file.pages) {
        m_fonts.Stack(page.fonts);  // a font that cannot be had refuses the file, not a page later
        for (const Element& element : page.elements) {
            if (const auto* text = std::get_if<TextElement>(&element);
                text && !text->fonts.empty()) {
                m_fonts.Stack(text->fonts);
            }
        }
    }
    std::vector<std::string> gone;
    for (auto at = m_pages.begin(); at != m_pages.end();) {
        const bool replaced = std::ranges::count(file.pages, at->first, &Page::name) > 0;
        if (at->second.source == source && !replaced) {
            gone.push_back(at->first);
        }
        at = at->second.source == source || replaced ? m_pages.erase(at) : std::next(at);
    }
    auto pictures = std::make_shared<PictureCache>(m_log);
    for (const Page& page : file.pages) {
        m_pages[page.name] = Shown{page, source, pictures, nullptr};
    }
    m_sources[source] = file.values;
    m_values_changed = true;
    return gone;
}

void PageDeck::Drop(const std::string& name) {
    m_pages.erase(name);
    m_values_changed = true;
}

void PageDeck::Set(const std::string& name, const std::string& text) {
    m_values.Set(name, text);
}

void PageDeck::Unset(const std::string& name) {
    m_values.Unset(name);
}

void PageDeck::UseValues() {
    std::vector<ValueSource> sources;
    std::vector<Page> pages;
    for (const auto& [name, shown] : m_pages) {
        pages.push_back(shown.page);
    }
    for (const auto& [source, values] : m_sources) {
        const bool shows =
            std::ranges::any_of(m_pages, [&](const auto& p) { return p.second.source == source; });
        if (shows) {
            sources.insert(sources.end(), values.begin(), values.end());
        }
    }
    m_values.Use(sources, pages);
    m_values_changed = false;
}

std::vector<DrawnPage> PageDeck::Advance(Clock::time_point now, Moment wall) {
    if (m_pages.empty()) {
        m_next_due.reset();
        return {};
    }
    if (m_values_changed) {
        UseValues();
    }
    m_next_due = m_values.Refresh(now, wall);
    std::vector<DrawnPage> changed;
    for (auto& [name, shown] : m_pages) {
        PictureCache& pictures = *shown.pictures;
        DrawInputs inputs{m_values.Values(), m_values.Samples(), m_fonts,
                          [&pictures](const PictureElement& e) { return pictures.Get(e); }};
        auto frame =
            std::make_shared<const std::vector<std::uint8_t>>(DrawPage(shown.page, inputs).Frame());
        if (shown.last == nullptr || *shown.last != *frame) {
            shown.last = frame;
            changed.push_back({name, std::move(frame)});
        }
    }
    return changed;
}

}  // namespace pages

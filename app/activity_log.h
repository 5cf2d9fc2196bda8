#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "app/panel_view.h"
#include "serial/log_sink.h"

namespace panel {

// The activity log: every line goes to the end of the view's log and is kept for saving.
// A module that floods the line could grow it without end, so past kMaxLines lines or
// kMaxBytes bytes of text the oldest lines go.
class ActivityLog final : public serial::LogSink {
public:
    static constexpr std::size_t kMaxLines = 10000;
    static constexpr std::size_t kMaxBytes = 4 << 20;

    explicit ActivityLog(PanelView& view) : m_view(view) {}

    void LogLine(std::string_view text) override;
    // A reply keeps its inner line feeds; the one that ends it would only add a blank line.
    void LogReply(std::string_view bytes) override;

    // The lines joined by line feeds, as the log shows them.
    std::string Text() const;

private:
    void Append(std::string_view text);
    void AppendOne(std::string_view line);
    void DropOldestBeyondLimits();

    PanelView& m_view;
    std::deque<std::string> m_lines;
    std::size_t m_bytes = 0;
};

}  // namespace panel

#include "app/activity_log.h"

#include "pictures/module_text.h"

namespace panel {

void ActivityLog::LogLine(std::string_view text) {
    Append(text);
}

void ActivityLog::LogReply(std::string_view bytes) {
    std::string text = DecodeModuleText(bytes);
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    Append(text);
}

std::string ActivityLog::Text() const {
    std::string text;
    text.reserve(m_bytes);
    for (const std::string& line : m_lines) {
        if (&line != &m_lines.front()) {
            text += '\n';
        }
        text += line;
    }
    return text;
}

// Text with line feeds in it becomes as many lines, as a text control shows it.
void ActivityLog::Append(std::string_view text) {
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        AppendOne(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    DropOldestBeyondLimits();
}

void ActivityLog::AppendOne(std::string_view line) {
    m_lines.emplace_back(line);
    m_bytes += line.size() + 1;
    m_view.AppendLogLine(line);
}

void ActivityLog::DropOldestBeyondLimits() {
    std::size_t dropped = 0;
    while (m_lines.size() > 1 && (m_lines.size() > kMaxLines || m_bytes > kMaxBytes)) {
        m_bytes -= m_lines.front().size() + 1;
        m_lines.pop_front();
        ++dropped;
    }
    if (dropped > 0) {
        m_view.RemoveOldestLogLines(dropped);
    }
}

}  // namespace panel

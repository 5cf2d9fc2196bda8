#include "cli/console_log.h"

#include "cli/terminal.h"
#include "pictures/module_text.h"

namespace cli {

ConsoleLog::ConsoleLog(bool quiet) : m_quiet(quiet), m_terminal(IsTerminal(stderr)) {}

void ConsoleLog::LogLine(std::string_view text) {
    if (!m_quiet) {
        Print(text);
    }
}

// A reply keeps its inner line feeds; the one that ends it is the line's own. Its control
// characters are shown escaped: they would act on the operator's terminal.
void ConsoleLog::LogReply(std::string_view bytes) {
    std::string text = EscapeForDisplay(DecodeModuleText(bytes));
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    if (m_counting) {
        std::string& first = m_first_replies[m_reply_index];
        m_reply_index = 1 - m_reply_index;
        if (first.empty()) {
            first = text;
        } else if (text == first) {
            ++m_routine;
            return;
        }
    }
    LogLine(text);
}

void ConsoleLog::Status(const std::string& text) {
    if (m_quiet || !m_terminal) {
        return;
    }
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    m_status_shown = true;
}

void ConsoleLog::EndStatus() {
    if (m_status_shown) {
        std::fputc('\n', stderr);
        m_status_shown = false;
    }
}

void ConsoleLog::Print(std::string_view text) {
    if (m_status_shown) {
        std::fputs("\r\033[K", stderr);
        m_status_shown = false;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void PrintError(ConsoleLog& log, const std::string& message) {
    log.EndStatus();
    std::fprintf(stderr, "lcdctl: %s\n", message.c_str());
    std::fflush(stderr);
}

}  // namespace cli

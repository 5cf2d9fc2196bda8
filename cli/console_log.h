#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "serial/log_sink.h"

namespace cli {

// The activity log on standard error, in UTF-8: the panel's own lines and the module's
// replies, one entry a line. On a terminal it shares the last line with a status line that
// each entry first clears.
class ConsoleLog final : public serial::LogSink {
public:
    explicit ConsoleLog(bool quiet);

    void LogLine(std::string_view text) override;
    void LogReply(std::string_view bytes) override;

    // While streaming, replies the same as the first one in their place are counted, not
    // logged: only what differs is news.
    void CountRoutineReplies(bool on) { m_counting = on; }
    long RoutineReplies() const { return m_routine; }

    // Shows `text` in place of the last status line (on a terminal, and not when quiet).
    void Status(const std::string& text);
    // Ends the status line, so that what follows starts on a line of its own.
    void EndStatus();
    bool Quiet() const { return m_quiet; }
    bool OnTerminal() const { return m_terminal; }

private:
    void Print(std::string_view text);

    bool m_quiet;
    bool m_terminal;
    bool m_status_shown = false;
    bool m_counting = false;
    long m_routine = 0;
    int m_reply_index = 0;  // replies alternate: the header's, then the frame's
    std::string m_first_replies[2];
};

// "lcdctl: " and the message, on a line of its own, whatever else is on standard error.
void PrintError(ConsoleLog& log, const std::string& message);

}  // namespace cli

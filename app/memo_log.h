#pragma once

#include <string_view>

#include <QString>

#include "cli/module_text.h"
#include "serial/log_sink.h"

class QPlainTextEdit;

// The activity log: every line goes to the end of the memo. A module that floods the line
// could grow it without end, so past kMaxLines lines or kMaxCharacters characters the
// oldest lines go.
class MemoLog final : public serial::LogSink {
public:
    static constexpr int kMaxLines = 10000;
    static constexpr int kMaxCharacters = 4 << 20;

    void Attach(QPlainTextEdit* memo);
    void LogLine(std::string_view text) override;
    void LogReply(std::string_view bytes) override;

private:
    void Append(QString text);
    void DropOldestBeyondCharacterLimit();
    QPlainTextEdit* m_memo = nullptr;
};

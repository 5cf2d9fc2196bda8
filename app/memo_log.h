#pragma once

#include <string_view>

#include <QString>

#include "serial/log_sink.h"

class QPlainTextEdit;

// The module's replies are GBK bytes; undecodable bytes become U+FFFD.
QString DecodeModuleText(std::string_view bytes);

// The activity log: every line goes to the end of the memo; nothing is ever removed.
class MemoLog final : public serial::LogSink {
public:
    void Attach(QPlainTextEdit* memo) { m_memo = memo; }
    void LogLine(std::string_view text) override;
    void LogReply(std::string_view bytes) override;

private:
    void Append(QString text);
    QPlainTextEdit* m_memo = nullptr;
};

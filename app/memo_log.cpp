#include "app/memo_log.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

void MemoLog::Attach(QPlainTextEdit* memo) {
    m_memo = memo;
    m_memo->setMaximumBlockCount(kMaxLines);
}

void MemoLog::LogLine(std::string_view text) {
    Append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

// A reply keeps its inner line feeds; the one that ends it would only add a blank line.
void MemoLog::LogReply(std::string_view bytes) {
    QString text = DecodeModuleText(bytes);
    if (text.endsWith(u'\n')) {
        text.chop(1);
    }
    Append(text);
}

void MemoLog::Append(QString text) {
    if (m_memo != nullptr) {
        m_memo->appendPlainText(text);
        DropOldestBeyondCharacterLimit();
    }
}

void MemoLog::DropOldestBeyondCharacterLimit() {
    QTextDocument* document = m_memo->document();
    if (document->characterCount() <= kMaxCharacters) {
        return;
    }
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::Start);
    while (document->characterCount() - cursor.position() > kMaxCharacters &&
           cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor)) {
    }
    cursor.removeSelectedText();
}

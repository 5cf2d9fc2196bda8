#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include "app/memo_log.h"

namespace {

TEST(MemoLogTest, RepliesAreDecodedAsGbkWithReplacementForBadBytes) {
    EXPECT_EQ(DecodeModuleText("\xd6\xd0\xce\xc4 ok"), QString::fromUtf8("中文 ok"));
    EXPECT_EQ(DecodeModuleText("a\x81\x30"
                               "b"),
              QString::fromUtf8("a\uFFFD0b"));
    EXPECT_EQ(DecodeModuleText("x\xff"), QString::fromUtf8("x\uFFFD"));
}

TEST(MemoLogTest, OldestLinesGoPastTheLineAndCharacterLimits) {
    QPlainTextEdit memo;
    MemoLog log;
    log.Attach(&memo);
    for (int i = 0; i < MemoLog::kMaxLines + 5; ++i) log.LogLine(std::to_string(i));
    EXPECT_TRUE(memo.document()->blockCount() == MemoLog::kMaxLines &&
                memo.toPlainText().startsWith("5\n"));
    const std::string flood(28799, 'x');  // what a flooding module's reply fills
    for (int i = 0; i < 200; ++i) log.LogReply(flood);
    log.LogLine("last");
    const int characters = memo.document()->characterCount();
    EXPECT_TRUE(characters <= MemoLog::kMaxCharacters &&
                characters > MemoLog::kMaxCharacters - 30000);
    EXPECT_TRUE(memo.toPlainText().endsWith(QString::fromStdString(flood) + "\nlast"));
}

TEST(MemoLogTest, RepliesKeepTheirInnerLineFeedsButNotTheLastOne) {
    QPlainTextEdit memo;
    MemoLog log;
    log.Attach(&memo);
    log.LogLine("baudrate 2400...");
    log.LogReply("first\nsecond\n");
    log.LogReply("");
    log.LogLine("错误：串口未打开。");
    EXPECT_EQ(memo.toPlainText(),
              QString::fromUtf8("baudrate 2400...\nfirst\nsecond\n\n错误：串口未打开。"));
}

}  // namespace

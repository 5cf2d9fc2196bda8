#include <gtest/gtest.h>

#include "pictures/module_text.h"

namespace {

using namespace std::string_view_literals;

TEST(ModuleTextTest, RepliesAreDecodedAsGbkWithReplacementForBadBytes) {
    EXPECT_EQ(DecodeModuleText("\xd6\xd0\xce\xc4 ok"), "中文 ok");
    EXPECT_EQ(DecodeModuleText("a\x81\x30"
                               "b"),
              "a\uFFFD0b");
    EXPECT_EQ(DecodeModuleText("x\xff"), "x\uFFFD");
}

TEST(ModuleTextTest, ControlsAndBadUtf8AreEscapedForTheTerminalByteByByte) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"ok, 中文 \\ \t\n\u00a0\U0001F600", "ok, 中文 \\ \t\n\u00a0\U0001F600"},
        {"\x1b]52;c;aGk=\a\x1b[2J\r\x7f\0"sv, "\\x1b]52;c;aGk=\\x07\\x1b[2J\\x0d\\x7f\\x00"},
        {"\u0080\u009b\u009f", "\\xc2\\x80\\xc2\\x9b\\xc2\\x9f"},                 // C1 controls
        {"\xff\x80\xc0\xaf\xe0\x80\xaf", "\\xff\\x80\\xc0\\xaf\\xe0\\x80\\xaf"},  // stray, overlong
        {"\xe4\xb8\x41\xed\xa0\x80", "\\xe4\\xb8A\\xed\\xa0\\x80"},  // cut short, surrogate
        {"\xf4\x90\x80\x80\xf0\x9f\x98", "\\xf4\\x90\\x80\\x80\\xf0\\x9f\\x98"},  // > U+10FFFF
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(EscapeForDisplay(text), shown);
}

}  // namespace

#include <gtest/gtest.h>

#include "pictures/module_text.h"

namespace {

TEST(ModuleTextTest, RepliesAreDecodedAsGbkWithReplacementForBadBytes) {
    EXPECT_EQ(DecodeModuleText("\xd6\xd0\xce\xc4 ok"), "中文 ok");
    EXPECT_EQ(DecodeModuleText("a\x81\x30"
                               "b"),
              "a\uFFFD0b");
    EXPECT_EQ(DecodeModuleText("x\xff"), "x\uFFFD");
}

}  // namespace

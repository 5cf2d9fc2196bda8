#include <gtest/gtest.h>

#include "protocol/str_to_int.h"

namespace {

TEST(StrToIntTest, AcceptsDecimalIntegersOnly) {
    EXPECT_EQ(protocol::StrToInt("921600"), 921600);
    EXPECT_EQ(protocol::StrToInt(" -12"), -12);
    EXPECT_EQ(protocol::StrToInt("+7"), 7);
    for (const char* bad : {"", "12a", "9600 ", "0x10", "99999999999", "+", "-"}) {
        EXPECT_THROW(protocol::StrToInt(bad), protocol::EConvertError) << bad;
    }
    try {
        protocol::StrToInt("abc");
    } catch (const protocol::EConvertError& error) {
        EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
    }
}

}  // namespace

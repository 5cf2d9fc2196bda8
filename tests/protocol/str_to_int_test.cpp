#include <gtest/gtest.h>

#include "protocol/str_to_int.h"

namespace {

// The message StrToInt refuses the text with; a note of its own when it takes the text.
std::string RefusalOf(const std::string& text) {
    try {
        protocol::StrToInt(text);
    } catch (const protocol::EConvertError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(StrToIntTest, AcceptsDecimalIntegersOnly) {
    EXPECT_EQ(protocol::StrToInt("921600"), 921600);
    EXPECT_EQ(protocol::StrToInt(" -12"), -12);
    EXPECT_EQ(protocol::StrToInt("+7"), 7);
    for (const std::string bad : {"", "abc", "12a", "9600 ", "0x10", "99999999999", "+", "-"})
        EXPECT_EQ(RefusalOf(bad), "'" + bad + "' is not a valid integer value");
}

}  // namespace

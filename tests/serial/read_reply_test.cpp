#include <gtest/gtest.h>

#include <cstring>

#include "fake_serial.h"
#include "serial/serial_link.h"

namespace {

using testing_support::RecordingLog;
using testing_support::ScriptedPlatform;

// One read, timed in polls: what arrives when, and what the read must make of it.
struct ReadCase {
    const char* name;
    std::map<int, std::string> chunks_at_poll;
    std::size_t capacity;
    std::size_t length;               // returned
    int polls;                        // sleeps until the read ended
    std::vector<std::string> logged;  // replies logged
    int status_fails_from_poll = 0;
    bool read_fails = false;
};

const std::string kNulReply("ab\0cd\n", 6);

const ReadCase kCases[] = {
    {"silence ends after 101 empty polls, logging nothing", {}, 512, 0, 101, {}},
    {"a terminated chunk ends at once", {{1, "OK\n"}}, 512, 3, 1, {"OK\n"}},
    {"an unterminated chunk ends 11 quiet polls later", {{1, "abc"}}, 512, 3, 12, {"abc"}},
    {"the quiet count restarts at 90, not 0, after a chunk", {{50, "abc"}}, 512, 3, 61, {"abc"}},
    {"a chunk after 10 quiet polls joins the reply",
     {{1, "yes, cur"}, {12, "rent\n"}},
     512,
     13,
     12,
     {"yes, current\n"}},
    {"a chunk after 11 quiet polls does not",
     {{1, "yes, cur"}, {13, "rent\n"}},
     512,
     8,
     12,
     {"yes, cur"}},
    {"several line feeds in one chunk are one entry", {{1, "a\nb\n"}}, 512, 4, 1, {"a\nb\n"}},
    {"a full buffer stops the read", {{1, "0123"}, {3, "456789"}}, 8, 7, 3, {"0123456"}},
    {"a NUL hides the line feed from the search and the log", {{1, kNulReply}}, 512, 6, 12, {"ab"}},
    {"a NUL first logs an empty line", {{1, std::string("\0yes\n", 5)}}, 512, 5, 12, {""}},
    {"failed status queries count as empty polls", {{1, "OK\n"}}, 512, 0, 101, {}, 1},
    {"a device vanishing mid-reply still ends the read", {{1, "abc"}}, 512, 3, 12, {"abc"}, 2},
    {"a failed read of waiting bytes counts as an empty poll",
     {{1, "OK\n"}},
     512,
     0,
     101,
     {},
     0,
     true},
};

class ReadReplyTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadReplyTest, EndsAtTheRightPollWithTheRightText) {
    const ReadCase& c = GetParam();
    SCOPED_TRACE(c.name);
    ScriptedPlatform platform;
    RecordingLog log;
    serial::SerialLink link(platform, log);
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 9600));
    platform.line.chunks_at_poll = c.chunks_at_poll;
    platform.line.status_fails_from_poll = c.status_fails_from_poll;
    platform.line.read_fails = c.read_fails;
    std::vector<std::uint8_t> buffer(c.capacity, 0xAA);

    EXPECT_EQ(link.ReadReply(buffer.data(), c.capacity, '\n'), c.length);
    EXPECT_EQ(platform.line.polls, c.polls);
    EXPECT_EQ(log.Texts(), c.logged);
    // A NUL follows the text; with nothing received the buffer is untouched.
    EXPECT_EQ(buffer[c.length], c.length > 0 ? 0 : 0xAA);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadReplyTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(SerialLinkTest, BytesBeyondTheRoomAndLeftoversStartTheNextReply) {
    ScriptedPlatform platform;
    RecordingLog log;
    serial::SerialLink link(platform, log);
    platform.line.queued_at_open = "stale\nnew";
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 9600));
    std::uint8_t buffer[64] = {};
    // A line feed left from an earlier exchange ends the read with its first chunk.
    EXPECT_EQ(link.ReadReply(buffer, sizeof buffer, '\n'), 9u);
    EXPECT_EQ(platform.line.polls, 1);

    platform.line.chunks_at_poll = {{2, "0123456789abcdefghij"}};
    EXPECT_EQ(link.ReadReply(buffer, 8, '\n'), 7u);
    EXPECT_EQ(std::string(buffer, buffer + 8), std::string("0123456\0", 8));
    EXPECT_EQ(link.ReadReply(buffer, sizeof buffer, '\n'), 13u);
    EXPECT_EQ(std::string(buffer, buffer + 13), "789abcdefghij");
}

TEST(SerialLinkTest, OpenPortReplacesTheOpenPortAndFailureLeavesNone) {
    ScriptedPlatform platform;
    RecordingLog log;
    serial::SerialLink link(platform, log);
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 2400));
    // The same path again: only possible because the old handle is closed first.
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 9600));
    platform.line.refuse_settings = true;
    EXPECT_FALSE(link.OpenPort("/dev/ttyS0", 5000000));
    EXPECT_FALSE(link.IsOpen());
    platform.line.refuse_settings = false;  // the refused device was closed again
    EXPECT_TRUE(link.OpenPort("/dev/ttyS0", 9600));
    EXPECT_FALSE(link.OpenPort("/dev/missing", 9600));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(log.Entries().empty());
}

}  // namespace

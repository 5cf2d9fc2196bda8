#include <gtest/gtest.h>

#include "serial/serial_link.h"
#include "support/recording_log.h"
#include "support/scripted_serial.h"

namespace {

using serial::WriteOutcome;
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
    int speed = 9600;
    int drip_every = 0;  // polls between single bytes
    int stop_at = 0;     // the poll from which a stop is requested; 0: none
};

const std::string kCut = serial::kReplyTimedOut;

const ReadCase kReadCases[] = {
    {"SilenceEndsAfter101EmptyPolls", {}, 512, 0, 101, {}},
    {"TerminatedChunkEndsAtOnce", {{1, "OK\n"}}, 512, 3, 1, {"OK\n"}},
    {"UnterminatedChunkEnds11QuietPollsLater", {{1, "abc"}}, 512, 3, 12, {"abc"}},
    {"QuietCountRestartsAt90AfterAChunk", {{50, "abc"}}, 512, 3, 61, {"abc"}},
    {"ChunkAfter10QuietPollsJoins",
     {{1, "yes, cur"}, {12, "rent\n"}},
     512,
     13,
     12,
     {"yes, current\n"}},
    {"ChunkAfter11QuietPollsDoesNot", {{1, "yes, cur"}, {13, "rent\n"}}, 512, 8, 12, {"yes, cur"}},
    {"LineFeedsInOneChunkAreOneEntry", {{1, "a\nb\n"}}, 512, 4, 1, {"a\nb\n"}},
    {"FullBufferStopsTheRead", {{1, "0123"}, {3, "456789"}}, 8, 7, 3, {"0123456"}},
    {"NulHidesTheLineFeed", {{1, std::string("ab\0cd\n", 6)}}, 512, 6, 12, {"ab"}},
    {"NulFirstLogsAnEmptyLine", {{1, std::string("\0yes\n", 5)}}, 512, 5, 12, {""}},
    {"FailedStatusQueriesAreEmptyPolls", {{1, "OK\n"}}, 512, 0, 101, {}, 1},
    {"DeviceVanishingMidReplyEndsTheRead", {{1, "abc"}}, 512, 3, 12, {"abc"}, 2},
    {"FailedReadIsAnEmptyPoll", {{1, "OK\n"}}, 512, 0, 101, {}, 0, true},
    // The deadline: a full buffer's wire time (313 ms, 2134 ms) plus one second.
    {"DripIsCutOff", {}, 28800, 145, 1313, {std::string(145, '.'), kCut}, 0, false, 921600, 9},
    {"DeadlineAt2400", {}, 512, 348, 3134, {std::string(348, '.'), kCut}, 0, false, 2400, 9},
    {"StopEndsAReplyAtOnce", {{1, "abc"}}, 512, 3, 5, {"abc"}, 0, false, 9600, 0, 5},
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadReplyTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadReplyTest, EndsAtTheRightPollWithTheRightText) {
    const ReadCase& c = GetParam();
    ScriptedPlatform platform;
    RecordingLog log;
    serial::SerialLink link(platform, log);
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", c.speed));
    link.SetStopRequested([&] { return c.stop_at && platform.line.polls >= c.stop_at; });
    platform.line.chunks_at_poll = c.chunks_at_poll;
    for (int poll = c.drip_every; poll > 0 && poll < 4000; poll += c.drip_every)
        platform.line.chunks_at_poll[poll] = ".";
    platform.line.status_fails_from_poll = c.status_fails_from_poll;
    platform.line.read_fails = c.read_fails;
    std::vector<std::uint8_t> buffer(c.capacity, 0xAA);

    EXPECT_EQ(link.ReadReply(buffer.data(), c.capacity, '\n'), c.length);
    EXPECT_EQ(platform.line.polls, c.polls);
    EXPECT_EQ(log.Texts(), c.logged);
    // A NUL follows the text; with nothing received the buffer is untouched.
    EXPECT_EQ(buffer[c.length], c.length > 0 ? 0 : 0xAA);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadReplyTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SerialLinkTest, BytesBeyondTheRoomAndLeftoversStartTheNextReply) {
    ScriptedPlatform platform;
    RecordingLog log;
    serial::SerialLink link(platform, log);
    platform.line.queued_at_open = "stale\nnew";
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 9600));
    std::uint8_t buffer[64] = {};
    EXPECT_EQ(link.ReadReply(buffer, sizeof buffer, '\n'), 9u);  // ends with its first chunk
    EXPECT_EQ(platform.line.polls, 1);

    platform.line.chunks_at_poll = {{2, "0123456789abcdefghij"}};
    EXPECT_EQ(link.ReadReply(buffer, 8, '\n'), 7u);
    EXPECT_EQ(std::string(buffer, buffer + 8), std::string("0123456\0", 8));
    EXPECT_EQ(link.ReadReply(buffer, sizeof buffer, '\n'), 13u);
    EXPECT_EQ(std::string(buffer, buffer + 13), "789abcdefghij");
}

TEST(SerialLinkTest, WritesGetTheirDeadlineAndFailuresAreLoggedWithThePortKept) {
    // Bytes, speed, deadline: 1.5 x the wire time, or the wire time + 1 s if that is longer.
    const std::tuple<std::size_t, int, long long> deadlines[] = {
        {20, 921600, 1001}, {28800, 921600, 1313}, {28800, 115200, 3750}, {34, 2400, 1142}};
    for (const auto& [bytes, speed, deadline_ms] : deadlines) {
        EXPECT_EQ(serial::WriteDeadline(bytes, speed).count(), deadline_ms)
            << bytes << "@" << speed;
    }
    ScriptedPlatform platform;
    RecordingLog log;
    serial::SerialLink link(platform, log);
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 115200));
    EXPECT_TRUE(link.SendBytes(std::string(28800, 'x')));
    EXPECT_EQ(platform.line.write_timeouts_ms, std::vector<long long>{3750});
    platform.line.write_outcome = WriteOutcome::TimedOut;
    EXPECT_FALSE(link.SendBytes("a"));
    platform.line.write_outcome = WriteOutcome::Disconnected;
    EXPECT_FALSE(link.SendBytes("b"));
    EXPECT_EQ(link.LastWriteOutcome(), WriteOutcome::Disconnected);
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"错误：串口写入超时。", "错误：串口已断开。"}));
    EXPECT_TRUE(link.IsOpen());
}

}  // namespace

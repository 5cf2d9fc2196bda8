#include <gtest/gtest.h>

#include <cstring>

#include "fake_serial.h"
#include "serial/serial_link.h"

namespace {

using testing_support::RecordingLog;
using testing_support::ScriptedPlatform;

class ReadReplyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_link.OpenPort("/dev/ttyS0", 9600)); }

    std::size_t Read(std::size_t capacity = sizeof m_buffer) {
        std::memset(m_buffer, 0, sizeof m_buffer);
        return m_link.ReadReply(m_buffer, capacity, '\n');
    }
    int Polls() const { return m_platform.line.polls; }
    std::string Stored(std::size_t n) const { return std::string(m_buffer, m_buffer + n); }

    ScriptedPlatform m_platform;
    RecordingLog m_log;
    serial::SerialLink m_link{m_platform, m_log};
    std::uint8_t m_buffer[512];
};

TEST_F(ReadReplyTest, SilenceEndsAfter101EmptyPollsAndLogsNothing) {
    EXPECT_EQ(Read(), 0u);
    EXPECT_EQ(Polls(), 101);
    EXPECT_TRUE(m_log.Entries().empty());
    EXPECT_EQ(m_buffer[0], 0);
}

TEST_F(ReadReplyTest, TerminatedChunkEndsAtOnceAndIsOneLogLine) {
    m_platform.line.chunks_at_poll = {{1, "OK\n"}};
    EXPECT_EQ(Read(), 3u);
    EXPECT_EQ(Polls(), 1);
    ASSERT_EQ(m_log.Entries().size(), 1u);
    EXPECT_TRUE(m_log.Entries()[0].is_reply);
    EXPECT_EQ(m_log.Entries()[0].text, "OK\n");
}

TEST_F(ReadReplyTest, UnterminatedChunkEndsAfterElevenQuietPolls) {
    m_platform.line.chunks_at_poll = {{1, "abc"}};
    EXPECT_EQ(Read(), 3u);
    EXPECT_EQ(Polls(), 1 + 11);
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{"abc"});
}

TEST_F(ReadReplyTest, QuietCountRestartsAtNinetyAfterEveryChunk) {
    // 49 empty polls before the chunk; a count that kept them, or restarted at 0, would
    // end the read at another poll.
    m_platform.line.chunks_at_poll = {{50, "abc"}};
    EXPECT_EQ(Read(), 3u);
    EXPECT_EQ(Polls(), 50 + 11);
}

TEST_F(ReadReplyTest, ChunkAfterTenQuietPollsJoinsTheReplyButNotAfterEleven) {
    m_platform.line.chunks_at_poll = {{1, "yes, cur"}, {12, "rent\n"}};
    EXPECT_EQ(Read(), 13u);
    EXPECT_EQ(Polls(), 12);
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{"yes, current\n"});

    m_platform.line = {};
    m_platform.line.chunks_at_poll = {{1, "yes, cur"}, {13, "rent\n"}};
    EXPECT_EQ(Read(), 8u);
    EXPECT_EQ(Polls(), 12);
}

TEST_F(ReadReplyTest, TerminatorIsSoughtOverTheWholeTextNotJustTheNewChunk) {
    // A line feed left waiting from an earlier exchange ends the next read at once, and
    // whatever came with it is part of this reply.
    m_platform.line.queued_at_open = "stale\nnew";
    ASSERT_TRUE(m_link.OpenPort("/dev/ttyS0", 9600));
    EXPECT_EQ(Read(), 9u);
    EXPECT_EQ(Polls(), 1);
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{"stale\nnew"});
}

TEST_F(ReadReplyTest, SeveralLineFeedsInOneChunkAreOneEntry) {
    m_platform.line.chunks_at_poll = {{1, "a\nb\n"}};
    EXPECT_EQ(Read(), 4u);
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{"a\nb\n"});
}

TEST_F(ReadReplyTest, FullBufferStopsWithNulLastAndTheRestStaysQueued) {
    m_platform.line.chunks_at_poll = {{1, "0123456789abcdefghij"}};
    EXPECT_EQ(Read(8), 7u);
    EXPECT_EQ(Stored(8), std::string("0123456\0", 8));
    EXPECT_EQ(Polls(), 1);
    EXPECT_EQ(m_platform.line.input.size(), 13u);

    EXPECT_EQ(Read(), 13u);  // the rest becomes the next reply
    EXPECT_EQ(Stored(13), "789abcdefghij");
}

TEST_F(ReadReplyTest, FullBufferIsReachedAcrossChunks) {
    m_platform.line.chunks_at_poll = {{1, "0123"}, {3, "456789"}};
    EXPECT_EQ(Read(8), 7u);
    EXPECT_EQ(Polls(), 3);
    EXPECT_EQ(m_buffer[7], 0);
}

TEST_F(ReadReplyTest, NulBeforeLineFeedHidesItFromTheSearchAndTheLog) {
    m_platform.line.chunks_at_poll = {{1, std::string("ab\0cd\n", 6)}};
    EXPECT_EQ(Read(), 6u);
    EXPECT_EQ(Polls(), 1 + 11);  // ran on to silence
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{"ab"});

    m_platform.line = {};
    m_log = {};
    m_platform.line.chunks_at_poll = {{1, std::string("\0yes\n", 5)}};
    EXPECT_EQ(Read(), 5u);
    ASSERT_EQ(m_log.Entries().size(), 1u);
    EXPECT_EQ(m_log.Entries()[0].text, "");  // something arrived, so an empty line is logged
}

TEST_F(ReadReplyTest, FailedStatusQueriesCountAsEmptyPolls) {
    m_platform.line.status_fails_from_poll = 1;
    EXPECT_EQ(Read(), 0u);
    EXPECT_EQ(Polls(), 101);
}

TEST_F(ReadReplyTest, DeviceVanishingMidReplyStillEndsTheRead) {
    m_platform.line.chunks_at_poll = {{1, "abc"}};
    m_platform.line.status_fails_from_poll = 2;
    EXPECT_EQ(Read(), 3u);
    EXPECT_EQ(Polls(), 1 + 11);
    EXPECT_EQ(m_log.Texts(), std::vector<std::string>{"abc"});
}

TEST_F(ReadReplyTest, FailedReadOfWaitingBytesCountsAsEmptyPoll) {
    m_platform.line.chunks_at_poll = {{1, "OK\n"}};
    m_platform.line.read_fails = true;
    EXPECT_EQ(Read(), 0u);
    EXPECT_EQ(Polls(), 101);
    EXPECT_TRUE(m_log.Entries().empty());
}

TEST(SerialLinkTest, OpenPortReplacesTheOpenPortAndFailureLeavesNone) {
    ScriptedPlatform platform;
    RecordingLog log;
    serial::SerialLink link(platform, log);
    EXPECT_FALSE(link.IsOpen());
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 2400));
    // The same path again: only possible because the old handle is closed first.
    ASSERT_TRUE(link.OpenPort("/dev/ttyS0", 9600));

    platform.line.refuse_settings = true;
    EXPECT_FALSE(link.OpenPort("/dev/ttyS0", 5000000));
    EXPECT_FALSE(link.IsOpen());
    // A refused setting closes the device: nothing holds the path afterwards.
    platform.line.refuse_settings = false;
    EXPECT_TRUE(link.OpenPort("/dev/ttyS0", 9600));

    EXPECT_FALSE(link.OpenPort("/dev/missing", 9600));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(log.Entries().empty());
}

}  // namespace

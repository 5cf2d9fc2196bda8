// Only what no other test covers: that --help tells the truth, and the stall fault.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <regex>
#include <set>

#include "serial/termios2_linux.h"
#include "sim/command_line.h"
#include "sim/module_sim.h"
#include "sim/module_state_machine.h"

namespace {

TEST(LcdsimHelp, ListsExactlyTheOptionsTheParserTakesAndWhichWantAValue) {
    const std::string usage = sim::UsageText();
    static const std::regex option("[ ,](--?[a-z][a-z-]*)( [A-Z])?");  // "--baud N"
    std::set<std::string> listed;
    for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
        const std::string name = (*it)[1];
        listed.insert(name);
        const bool takes_value = (*it)[2].matched;
        EXPECT_EQ(sim::ParseCommandLine({name}).error, takes_value ? name + " needs a value" : "");
    }
    const std::vector<std::string> accepted = sim::OptionNames();
    EXPECT_EQ(listed, std::set<std::string>(accepted.begin(), accepted.end()));
}

// Writes until all `bytes` went or none went for `patience_ms`; how many went.
std::size_t WriteUntilStuck(int fd, std::string_view bytes, int patience_ms) {
    std::size_t sent = 0;
    pollfd writable{fd, POLLOUT, 0};
    while (sent < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (put > 0) {
            sent += static_cast<std::size_t>(put);
        } else if (errno != EAGAIN || ::poll(&writable, 1, patience_ms) <= 0) {
            break;
        }
    }
    return sent;
}

TEST(StallAfterHeader, AnswersTheHeaderThenLeavesTheHostsPayloadWriteStuck) {
    for (const bool stall : {false, true}) {  // a healthy module takes the payload in
        sim::ModuleOptions options;
        options.pace = false;
        options.stall_after_header = stall;
        sim::PtyModule module(options);
        module.Start();
        const int host = ::open(module.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_TRUE(serial::termios2::SetRawLine(host, options.start_baud));
        ASSERT_EQ(WriteUntilStuck(host, "pixels: 0,0,480,480\n", 1000), 20u);
        pollfd readable{host, POLLIN, 0};
        std::string reply(64, '\0');
        ASSERT_EQ(::poll(&readable, 1, 3000), 1);
        reply.resize(std::max<ssize_t>(0, ::read(host, reply.data(), reply.size())));
        EXPECT_EQ(reply, "ok, send 28800 bytes\n") << "stall " << stall;
        const std::size_t sent = WriteUntilStuck(host, std::string(sim::kFrameBytes, '\0'), 1000);
        EXPECT_EQ(sent < sim::kFrameBytes, stall) << sent << " bytes went, stall " << stall;
        ::close(host);
    }
}

}  // namespace

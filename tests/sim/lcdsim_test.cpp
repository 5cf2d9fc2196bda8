// lcdsim ships to users: its --help must tell the truth. What it does on the line, the
// tests of the panel's link show.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "serial/termios2_linux.h"
#include "sim/command_line.h"
#include "sim/module_sim.h"

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

// Opens the module's port raw at 921600 bit/s: a host.
int OpenHost(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(fd >= 0 && serial::termios2::SetRawLine(fd, 921600)) << path;
    return fd;
}

// As a serial driver: a reply its reader closed the port on, or sent while nobody had the
// port open, does not greet the next program that opens it.
TEST(LcdsimLine, AReplyNobodyReadIsGoneAtTheNextOpen) {
    sim::ModuleOptions options;
    options.start_baud = 921600;
    sim::PtyModule module(options);
    module.Start();
    for (const bool close_before_reply : {false, true}) {
        const int host = OpenHost(module.SlavePath());
        const std::size_t before = module.Transcript().size();
        ASSERT_EQ(::write(host, "set color to: 1\n", 16), 16);
        for (int i = 0; i < 2000 && !close_before_reply && module.Transcript().size() < before + 2;
             ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(host);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int next = OpenHost(module.SlavePath());
        char left[64];
        EXPECT_LE(::read(next, left, sizeof left), 0) << close_before_reply;  // nothing waiting
        ::close(next);
    }
}

// Says hello at `baud` asking for `speed`: the module's answer, empty if none came in time.
std::string Hello(int host, int baud, const std::string& speed, int deadline_ms = 2000) {
    serial::termios2::SetRawLine(host, baud);
    const std::string line = "hello, please set baudrate to: " + speed + "\n";
    EXPECT_EQ(::write(host, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    std::string reply;
    char byte;
    pollfd in{host, POLLIN, 0};
    while (reply.size() < 64 && reply.find('\n') == std::string::npos &&
           ::poll(&in, 1, deadline_ms) == 1 && ::read(host, &byte, 1) == 1) {
        reply += byte;
    }
    return reply;
}

TEST(LcdsimReset, APowerCycledModuleAnswersOnlyAtItsStartSpeed) {
    sim::PtyModule module(sim::ModuleOptions{});
    module.Start();
    const int host = OpenHost(module.SlavePath());
    ASSERT_EQ(Hello(host, 2400, "921600"), "yes, current baudrate is: 2400\n");
    for (int i = 0; i < 2000 && module.Baud() != 921600; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    module.PowerCycle();
    EXPECT_EQ(module.Baud(), 2400);
    EXPECT_EQ(Hello(host, 921600, "0", 200), "");
    EXPECT_EQ(Hello(host, 2400, "0"), "yes, current baudrate is: 2400\n");
    ::close(host);
}

TEST(LcdsimReset, UnplugHangsUpTheHostAndReplugLinksAFreshModule) {
    const std::string link = ::testing::TempDir() + "lcdsim_plug_" + std::to_string(::getpid());
    sim::ModuleOptions options;
    options.link_path = link;
    sim::PtyModule module(options);
    module.Start();
    const int host = OpenHost(link);
    ASSERT_EQ(Hello(host, 2400, "921600"), "yes, current baudrate is: 2400\n");
    module.Unplug();
    pollfd hang_up{host, POLLOUT, 0};
    EXPECT_EQ(::poll(&hang_up, 1, 1000), 1);
    EXPECT_TRUE(hang_up.revents & POLLHUP);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    ::close(host);
    module.Replug();
    const int again = OpenHost(link);
    EXPECT_EQ(Hello(again, 2400, "0"), "yes, current baudrate is: 2400\n");
    ::close(again);
}

}  // namespace

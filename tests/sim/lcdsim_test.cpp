// lcdsim ships to users: its --help must tell the truth. What it does on the line, the
// tests of the panel's link show.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

}  // namespace

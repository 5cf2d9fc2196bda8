// lcdsim as the demo and other tests use it: a child process found through its symlink.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host_line.h"

namespace {

using namespace std::chrono_literals;
using sim_testing::HostLine;

class Lcdsim {
public:
    explicit Lcdsim(std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        args.insert(args.begin(), LCDSIM_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        m_stdout = out[0];
    }

    ~Lcdsim() {
        if (m_pid > 0 && !m_exit_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_stdout >= 0) {
            ::close(m_stdout);
        }
    }

    // The first line the program prints, without its line feed.
    std::string FirstLine(std::chrono::milliseconds timeout = 5s) {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (line.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{m_stdout, POLLIN, 0};
            char c;
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
                ::read(m_stdout, &c, 1) != 1) {
                return line;
            }
            line.push_back(c);
        }
        line.pop_back();
        return line;
    }

    void Signal(int signal) { ::kill(m_pid, signal); }

    // The exit status once the program has ended within `timeout`.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = 5s) {
        for (auto waited = 0ms; waited < timeout; waited += 10ms) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exit_status = status;
                return status;
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::optional<int> m_exit_status;
};

std::string TemporaryDirectory() {
    char templ[] = "/tmp/lcdsim_process_XXXXXX";
    return ::mkdtemp(templ);
}

TEST(LcdsimProcess, ServesItsPortUntilSigtermAndCleansUpItsLink) {
    const std::string dir = TemporaryDirectory();
    const std::string link = dir + "/lcd";
    Lcdsim lcdsim({"--no-pace", "--link", link});

    const std::string path = lcdsim.FirstLine();
    ASSERT_FALSE(path.empty());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), path);

    {
        HostLine host(link, 2400);
        ASSERT_TRUE(host.Write("hello, please set baudrate to: 0\n"));
        EXPECT_EQ(host.ReadLine(), "yes, current baudrate is: 2400\n");
    }

    lcdsim.Signal(SIGTERM);
    const std::optional<int> status = lcdsim.WaitForExit();
    ASSERT_TRUE(status.has_value()) << "lcdsim did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    std::filesystem::remove_all(dir);
}

TEST(LcdsimProcess, SigintEndsItToo) {
    Lcdsim lcdsim({"--baud", "921600"});
    ASSERT_FALSE(lcdsim.FirstLine().empty());
    lcdsim.Signal(SIGINT);
    const std::optional<int> status = lcdsim.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST(LcdsimProcess, RefusesArgumentsItDoesNotKnow) {
    Lcdsim lcdsim({"--baud", "fast"});
    EXPECT_EQ(lcdsim.FirstLine(), "");
    const std::optional<int> status = lcdsim.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 2);
}

}  // namespace

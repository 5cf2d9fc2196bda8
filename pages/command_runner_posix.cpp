#include "pages/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>
#include <thread>

extern char** environ;

namespace pages {

namespace {

using Clock = std::chrono::steady_clock;

// How often a child that closed its output is asked whether it has ended.
constexpr auto kReapStep = std::chrono::milliseconds(5);

std::string ReasonOf(int error) {
    return std::generic_category().message(error);
}

// The spawn's settings, freed however the spawn goes.
class SpawnSettings {
public:
    SpawnSettings() {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attributes);
    }
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    // stdin and stderr to /dev/null, stdout to the pipe; a process group of its own, so that
    // a timeout can end what it started too; default signals and none blocked, whatever ours
    // are, so that it dies of SIGPIPE when we stop reading.
    void Prepare(int output_fd) {
        posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&m_actions, output_fd, STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&m_actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setsigdefault(&m_attributes, &defaults);
        posix_spawnattr_setpgroup(&m_attributes, 0);
        posix_spawnattr_setflags(
            &m_attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    const posix_spawn_file_actions_t* actions() const { return &m_actions; }
    const posix_spawnattr_t* attributes() const { return &m_attributes; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
};

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60 * 60 * 1000));
}

// Reads the pipe until its end, the limit or the deadline; false when the deadline came.
// At the limit our end is closed, so that a child still writing gets SIGPIPE and stops.
bool ReadOutput(int& fd, std::size_t limit, Clock::time_point deadline, std::string& output) {
    char buffer[4096];
    while (fd >= 0) {
        if (output.size() >= limit) {
            CloseIfOpen(fd);
            break;
        }
        pollfd wanted{fd, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return false;
        }
        const ssize_t got =
            ready < 0 ? -1 : ::read(fd, buffer, std::min(sizeof buffer, limit - output.size()));
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            CloseIfOpen(fd);
            break;
        }
        output.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

// The child's wait status once it has ended, or nothing when the deadline came first.
std::optional<int> WaitUntil(pid_t pid, Clock::time_point deadline, std::string& error) {
    while (true) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            return status;
        }
        if (ended < 0 && errno != EINTR) {
            error = "cannot wait for it: " + ReasonOf(errno);
            return -1;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(kReapStep, deadline - Clock::now()));
    }
}

// Ends the child and all it started, and reaps the child so that no zombie is left.
void KillGroup(pid_t pid) {
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// What the wait status means; a death by SIGPIPE (or a shell's 128 + SIGPIPE) after we cut
// the output at the limit is the child noticing the cut, not failing.
void Judge(int status, bool cut, CommandOutput& result) {
    const bool piped = cut && ((WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) ||
                               (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGPIPE));
    if ((WIFEXITED(status) && WEXITSTATUS(status) == 0) || piped) {
        result.ok = true;
    } else if (WIFEXITED(status)) {
        result.error = "exit status " + std::to_string(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
        result.error = "killed by signal " + std::to_string(WTERMSIG(status));
    } else {
        result.error = "ended oddly (status " + std::to_string(status) + ")";
    }
}

}  // namespace

CommandOutput RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         std::size_t limit) {
    CommandOutput result;
    if (argv.empty()) {
        result.error = "no command";
        return result;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        result.error = "cannot run " + argv.front() + ": " + ReasonOf(errno);
        return result;
    }
    int our_end = pipe_fds[0];
    SpawnSettings settings;
    settings.Prepare(pipe_fds[1]);
    std::vector<char*> arguments;
    for (const std::string& argument : argv) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, arguments[0], settings.actions(), settings.attributes(),
                                     arguments.data(), environ);
    ::close(pipe_fds[1]);
    if (spawned != 0) {
        CloseIfOpen(our_end);
        result.error = "cannot run " + argv.front() + ": " + ReasonOf(spawned);
        return result;
    }
    const bool read_all = ReadOutput(our_end, limit, deadline, result.output);
    const bool cut = read_all && our_end < 0 && result.output.size() >= limit;
    CloseIfOpen(our_end);
    std::string wait_error;
    const std::optional<int> status =
        read_all ? WaitUntil(pid, deadline, wait_error) : std::nullopt;
    if (!status) {
        KillGroup(pid);
        result.error = TimeoutText(timeout);
    } else if (!wait_error.empty()) {
        result.error = wait_error;
    } else {
        Judge(*status, cut, result);
    }
    return result;
}

}  // namespace pages

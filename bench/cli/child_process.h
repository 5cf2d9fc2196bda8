#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace bench_support {

// A program run by the benchmark, its three standard streams on pipes. Output is collected
// while the benchmark writes, so neither side can block the other; every wait has a
// deadline. Unlike QProcess, it tells the program's own processor time.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        ::signal(SIGPIPE, SIG_IGN);  // a program that ended early fails a write, not the test
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0), ::dup2(out[1], 1), ::dup2(err[1], 2);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(in[0]), ::close(out[1]), ::close(err[1]);
        m_in = in[1], m_out = out[0], m_err = err[0];
    }
    ~ChildProcess() {
        if (m_pid > 0 && !m_ended)
            ::kill(m_pid, SIGKILL), Wait(std::chrono::seconds(5));
        for (int fd : {m_in, m_out, m_err})
            if (fd >= 0)
                ::close(fd);
    }

    // Writes to the program's input; false when it stopped reading within the time.
    bool Write(std::string_view bytes, std::chrono::seconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!bytes.empty() && std::chrono::steady_clock::now() < deadline) {
            Pump(true, 50);
            const ssize_t n = m_writable ? ::write(m_in, bytes.data(), bytes.size()) : 0;
            if (n < 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return bytes.empty();
    }
    void CloseInput() { ::close(m_in), m_in = -1; }
    void Signal(int signal) { ::kill(m_pid, signal); }

    // Waits for the end; the exit status (128 + the signal for a killed one), or -1.
    int Wait(std::chrono::seconds timeout = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_ended && std::chrono::steady_clock::now() < deadline) {
            Pump(false, 20);
            int status = 0;
            if (::wait4(m_pid, &status, WNOHANG, &m_usage) == m_pid) {
                m_ended = true;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        Pump(false, 0);
        return m_ended ? m_status : -1;
    }
    // The program's own processor time, once it has ended.
    double CpuSeconds() const {
        return m_usage.ru_utime.tv_sec + m_usage.ru_stime.tv_sec +
               (m_usage.ru_utime.tv_usec + m_usage.ru_stime.tv_usec) / 1e6;
    }
    const std::string& Out() const { return m_out_text; }
    const std::string& Err() const { return m_err_text; }

private:
    void Pump(bool want_write, int timeout_ms) {
        pollfd fds[3] = {
            {m_out, POLLIN, 0}, {m_err, POLLIN, 0}, {want_write ? m_in : -1, POLLOUT, 0}};
        ::poll(fds, 3, timeout_ms);
        char chunk[65536];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
                if (n > 0)
                    (i == 0 ? m_out_text : m_err_text).append(chunk, static_cast<std::size_t>(n));
            }
        }
        m_writable = (fds[2].revents & POLLOUT) != 0;
    }

    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_err = -1;
    bool m_writable = false, m_ended = false;
    int m_status = -1;
    rusage m_usage{};
    std::string m_out_text, m_err_text;
};

}  // namespace bench_support

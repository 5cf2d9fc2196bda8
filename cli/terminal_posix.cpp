#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "cli/terminal.h"

namespace cli {

namespace {

volatile sig_atomic_t g_interrupted = 0;

void NoteInterrupt(int) {
    g_interrupted = 1;
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

// No SA_RESTART: a wait in poll() or read() returns, and the loops look at the flag.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

bool Interrupted() {
    return g_interrupted != 0;
}

void UseBinaryStdio() {}

// Waits in short slices, so that a stop is noticed while the input is quiet.
std::size_t ReadInput(std::uint8_t* buffer, std::size_t count, const std::atomic<bool>& stop) {
    std::size_t got = 0;
    while (got < count && !stop && !Interrupted()) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = ::read(STDIN_FILENO, buffer + got, count - got);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            break;  // the input ended
        }
        got += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return got;
}

}  // namespace cli

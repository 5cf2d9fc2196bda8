// lcdsim: the simulated LCD module as a program, for the demo and for tests that want
// the module in a process of its own.

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/module_sim.h"

namespace {

using Clock = std::chrono::steady_clock;

// Blocked before any thread starts, so that every thread inherits the mask and the
// signals wait for main to take them.
sigset_t BlockHandledSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        sigaddset(&signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

void PrintPort(const std::string& path) {
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
}

// The next of `signals`, or 0 once `deadline` (if any) has passed first.
int WaitForSignal(const sigset_t& signals, std::optional<Clock::time_point> deadline) {
    if (!deadline) {
        int received = 0;
        return sigwait(&signals, &received) == 0 ? received : 0;
    }
    const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto part = std::chrono::duration_cast<std::chrono::nanoseconds>(left - whole);
    const timespec wait{static_cast<time_t>(whole.count()), static_cast<long>(part.count())};
    return std::max(sigtimedwait(&signals, nullptr, &wait), 0);
}

// Carries out the signals until one asks to stop. The port comes back `replug_delay`
// after the last SIGUSR2.
void ServeSignals(sim::PtyModule& module, const sigset_t& signals,
                  std::chrono::milliseconds replug_delay) {
    std::optional<Clock::time_point> replug_at;
    while (true) {
        const int received = WaitForSignal(signals, replug_at);
        if (received == SIGINT || received == SIGTERM) {
            return;
        }
        if (received == SIGUSR1) {
            module.PowerCycle();
        } else if (received == SIGUSR2) {
            module.Unplug();
            replug_at = Clock::now() + replug_delay;
        } else if (replug_at && Clock::now() >= *replug_at) {
            replug_at.reset();
            module.Replug();
            PrintPort(module.SlavePath());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const sim::CommandLine command_line =
        sim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command_line.help) {
        std::fputs(sim::UsageText().c_str(), stdout);
        return 0;
    }
    if (!command_line.error.empty()) {
        std::fprintf(stderr, "lcdsim: %s\n%s", command_line.error.c_str(),
                     sim::UsageText().c_str());
        return 2;
    }
    const sigset_t handled_signals = BlockHandledSignals();
    try {
        sim::PtyModule module(command_line.options);
        PrintPort(module.SlavePath());
        module.Start();
        ServeSignals(module, handled_signals, std::chrono::milliseconds(command_line.replug_ms));
        module.Stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lcdsim: %s\n", error.what());
        return 1;
    }
    return 0;
}

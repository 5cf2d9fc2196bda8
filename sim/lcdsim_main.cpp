// lcdsim: the simulated LCD module as a program, for the demo and for tests that want
// the module in a process of its own.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/module_sim.h"

namespace {

// Blocked before any thread starts, so that every thread inherits the mask and the
// signals wait for sigwait() in main.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
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
    const sigset_t stop_signals = BlockStopSignals();
    try {
        sim::PtyModule module(command_line.options);
        std::printf("%s\n", module.SlavePath().c_str());
        std::fflush(stdout);
        module.Start();
        int received = 0;
        sigwait(&stop_signals, &received);
        module.Stop();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lcdsim: %s\n", error.what());
        return 1;
    }
    return 0;
}

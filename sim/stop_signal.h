#pragma once

#include <atomic>
#include <chrono>

namespace sim {

// Keeps the serving thread stoppable: every wait it makes ends at once when another
// thread raises the signal.
class StopSignal {
public:
    StopSignal();  // throws std::runtime_error
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Raise();
    // Lowers the signal again, for a new run of the thread.
    void Reset();
    bool Raised() const { return m_raised; }

    // Sleeps until `deadline`; false when the signal was raised first.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline) const;
    // Waits until the signal is raised.
    void Wait() const;

    // A descriptor that turns readable when the signal is raised, to poll next to others.
    int WakeFd() const { return m_pipe[0]; }

private:
    int m_pipe[2] = {-1, -1};
    std::atomic<bool> m_raised{false};
};

}  // namespace sim

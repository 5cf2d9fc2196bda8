#pragma once

#include <functional>
#include <memory>

// The system asking lcdhub to end: SIGTERM and Ctrl-C; on Windows also its console being
// closed, and the session ending (logoff, shutdown) for a hub started without a console.
namespace hub {

class StopRequests {
public:
    // `stop` is called once, from another thread, when the first request comes.
    explicit StopRequests(std::function<void()> stop);
    // The hub has finished: a system that waits for it before ending the process goes on.
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // The usage text's line on how the hub is stopped.
    static const char* Usage();

    struct Watch;  // the platform's part

private:
    std::unique_ptr<Watch> m_watch;
};

}  // namespace hub

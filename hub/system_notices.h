#pragma once

#include <functional>
#include <memory>

// What the system tells lcdhub. Stop: SIGTERM and Ctrl-C; on Windows also its console being
// closed, taskkill, and the session ending (logoff, shutdown) for a hub started without a
// console. Ports: on Windows a serial port that came or went, which no idle port handle
// tells there; POSIX systems hear the open port hang up, so they never call it.
namespace hub {

class SystemNotices {
public:
    // Both are called from another thread: `stop` once, when the first request comes.
    SystemNotices(std::function<void()> stop, std::function<void()> ports_changed);
    // The hub has finished: a system that waits for it before ending the process goes on.
    ~SystemNotices();
    SystemNotices(const SystemNotices&) = delete;
    SystemNotices& operator=(const SystemNotices&) = delete;

    // The usage text's line on how the hub is stopped.
    static const char* StopUsage();

    struct Watch;  // the platform's part

private:
    std::unique_ptr<Watch> m_watch;
};

}  // namespace hub

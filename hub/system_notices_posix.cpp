#include <signal.h>

#include <asio.hpp>
#include <thread>

#include "hub/system_notices.h"

namespace hub {

// The signals are taken on a context of their own, so that a stop is heard while the
// service's thread is busy.
struct SystemNotices::Watch {
    asio::io_context io;
    asio::signal_set signals{io, SIGINT, SIGTERM};
    std::thread thread;
};

SystemNotices::SystemNotices(std::function<void()> stop, std::function<void()>)
    : m_watch(std::make_unique<Watch>()) {
    ::signal(SIGPIPE, SIG_IGN);  // a client that went away is an error, not a death
    m_watch->signals.async_wait([stop = std::move(stop)](std::error_code error, int) {
        if (!error) {
            stop();
        }
    });
    m_watch->thread = std::thread([watch = m_watch.get()] { watch->io.run(); });
}

SystemNotices::~SystemNotices() {
    m_watch->io.stop();
    m_watch->thread.join();
}

const char* SystemNotices::StopUsage() {
    return "Stops on SIGTERM or Ctrl-C once the frame on the line is finished.\n";
}

}  // namespace hub

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "serial/waker.h"

namespace serial {

namespace {

// A pipe: a byte written wakes the poll on its read end until it is drained.
class PipeWaker final : public Waker {
public:
    PipeWaker() {
        if (::pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::system_error(errno, std::generic_category(), "pipe");
        }
    }
    ~PipeWaker() override {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
    void Wake() override {
        const char byte = 1;
        (void)!::write(m_fds[1], &byte, 1);  // a full pipe is already a wake
    }
    bool WaitFor(std::chrono::milliseconds timeout) override {
        pollfd wake{m_fds[0], POLLIN, 0};
        const int ready = ::poll(&wake, 1, static_cast<int>(timeout.count()));
        if (ready <= 0) {
            return false;
        }
        Consume();
        return true;
    }
    std::intptr_t NativeHandle() const override { return m_fds[0]; }
    void Consume() override {
        char bytes[64];
        while (::read(m_fds[0], bytes, sizeof bytes) > 0) {
        }
    }

private:
    int m_fds[2];
};

}  // namespace

std::unique_ptr<Waker> MakeWaker() {
    return std::make_unique<PipeWaker>();
}

}  // namespace serial

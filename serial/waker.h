#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace serial {

// Wakes a thread that waits on a device, or just waits, from any other thread. A wake that
// comes before the wait is kept, so none is lost between a check and the wait.
class Waker {
public:
    virtual ~Waker() = default;
    virtual void Wake() = 0;
    // Waits until woken or until `timeout` has passed; true when woken. Consumes the wake.
    virtual bool WaitFor(std::chrono::milliseconds timeout) = 0;
    // What a device's wait can add to its own: the read end of a pipe on POSIX, an event
    // handle on Windows.
    virtual std::intptr_t NativeHandle() const = 0;
    // Forgets any wake that came; after a wait on NativeHandle that it ended.
    virtual void Consume() = 0;
};

std::unique_ptr<Waker> MakeWaker();

}  // namespace serial

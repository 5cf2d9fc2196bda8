#include <windows.h>

#include <stdexcept>

#include "serial/waker.h"

namespace serial {

namespace {

// An auto-reset event: set by a wake, reset by the wait it ends.
class EventWaker final : public Waker {
public:
    EventWaker() : m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        if (m_event == nullptr) {
            throw std::runtime_error("cannot create an event");
        }
    }
    ~EventWaker() override { CloseHandle(m_event); }
    void Wake() override { SetEvent(m_event); }
    bool WaitFor(std::chrono::milliseconds timeout) override {
        return WaitForSingleObject(m_event, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
    }
    std::intptr_t NativeHandle() const override { return reinterpret_cast<std::intptr_t>(m_event); }
    void Consume() override { ResetEvent(m_event); }

private:
    HANDLE m_event;
};

}  // namespace

std::unique_ptr<Waker> MakeWaker() {
    return std::make_unique<EventWaker>();
}

}  // namespace serial

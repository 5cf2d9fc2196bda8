#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/log_sink.h"
#include "serial/serial_platform.h"
#include "serial/waker.h"
#include "session/module_session.h"

// The module's line, on a thread of its own: the exchange with the module stays
// synchronous, fed the newest frame to show through one slot.
namespace hub {

// What the module is to show: a screen's frame with its colour and brightness.
struct Showing {
    std::string screen;
    std::shared_ptr<const std::vector<std::uint8_t>> frame;
    std::optional<int> color;
    std::optional<int> brightness;
    std::uint64_t version = 0;  // the screen's, told back with the frame's events
};

// Where the module's frames go: the line's thread in the service, a recorder in tests.
class Display {
public:
    virtual ~Display() = default;
    virtual bool Show(Showing showing) = 0;  // true when it replaced a frame still waiting
    virtual void SetModel(int model) = 0;
};

// What happens on the line, told from the line's thread.
class LinkEvents {
public:
    virtual ~LinkEvents() = default;
    virtual void LinkUp(const std::string& port, std::int32_t baud) = 0;
    virtual void LinkDown(const std::string& reason) = 0;
    // The module gave its final reply to the screen's frame, or gave none.
    virtual void FrameSent(const std::string& screen, std::uint64_t version) = 0;
    virtual void FrameUnanswered(const std::string& screen, std::uint64_t version) = 0;
    // Told once per wait, not at every look: why there is no port to open yet.
    virtual void Waiting(const std::string& why) = 0;
};

struct LinkTimings {
    // How often a port that is gone, or a module that does not answer, is looked for again.
    std::chrono::milliseconds retry{1000};
};

// The port to use now, or why there is none (no adapter, or more than one to choose from).
struct PortPick {
    std::string name;
    std::string problem;
};
using PortFinder = std::function<PortPick()>;

class LinkWorker final : public Display {
public:
    // A module that gives no final reply to this many frames in a row has reset: the
    // link is brought up again.
    static constexpr int kUnansweredBeforeRenegotiating = 2;

    LinkWorker(serial::SerialPlatform& platform, serial::LogSink& module_log, LinkEvents& events,
               PortFinder find_port, std::int32_t baud, LinkTimings timings = {});
    ~LinkWorker() override;  // Stop(false)

    void Start();
    // Shows this next. A frame still waiting for the line is replaced; true when one was.
    bool Show(Showing showing) override;
    // Sent at once when the link is up, and again after every link-up.
    void SetModel(int model) override;
    // Lets the frame on the line finish, then, with `clear`, blanks the screen; joins.
    void Stop(bool clear);
    // From any thread: ports came or went. An idle port is checked, a missing one looked
    // for, at once.
    void PortsChanged();

private:
    void Run();
    bool BringUp();
    bool TryOnce(const std::string& port);
    void TellWaiting(const std::string& why);
    void WaitBeforeRetry();
    void ServeWhileUp();
    void Perform(const Showing& showing);
    void SendSettingsOf(const Showing& showing);
    void SendPendingModel();
    void Lose(const std::string& reason);
    std::string WriteFailureReason();
    void SendClearPattern();

    serial::SerialPlatform& m_platform;
    LinkEvents& m_events;
    PortFinder m_find_port;
    const std::int32_t m_baud;
    const LinkTimings m_timings;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_interrupt{false};  // asked by the session's waits
    std::atomic<bool> m_ports_changed{false};
    std::unique_ptr<serial::Waker> m_waker = serial::MakeWaker();
    session::ModuleSession m_session;

    std::mutex m_mutex;  // guards what other threads hand over
    std::optional<Showing> m_waiting;
    std::optional<int> m_model;
    bool m_model_pending = false;

    // The line's thread only.
    bool m_up = false;
    bool m_ever_up = false;
    std::string m_waiting_reason;
    std::optional<Showing> m_current;  // what the module shows, or showed before a loss
    bool m_current_pending = false;    // to be sent again after a link-up
    std::optional<int> m_module_color;
    std::optional<int> m_module_brightness;
    int m_unanswered = 0;
    std::thread m_thread;
};

}  // namespace hub

#include "hub/link_worker.h"

#include <utility>

#include "protocol/commands.h"

namespace hub {

using Clock = std::chrono::steady_clock;

LinkWorker::LinkWorker(serial::SerialPlatform& platform, serial::LogSink& module_log,
                       LinkEvents& events, PortFinder find_port, std::int32_t baud,
                       LinkTimings timings)
    : m_platform(platform),
      m_events(events),
      m_find_port(std::move(find_port)),
      m_baud(baud),
      m_timings(timings),
      m_session(platform, module_log, [this] { return m_interrupt.load(); }) {}

LinkWorker::~LinkWorker() {
    Stop(false);
}

void LinkWorker::Start() {
    m_thread = std::thread([this] { Run(); });
}

bool LinkWorker::Show(Showing showing) {
    bool replaced = false;
    {
        std::lock_guard lock(m_mutex);
        replaced = m_waiting.has_value();
        m_waiting = std::move(showing);
    }
    m_waker->Wake();
    return replaced;
}

void LinkWorker::SetModel(int model) {
    {
        std::lock_guard lock(m_mutex);
        m_model = model;
        m_model_pending = true;
    }
    m_waker->Wake();
}

void LinkWorker::Stop(bool clear) {
    if (!m_thread.joinable()) {
        return;
    }
    m_stopping = true;
    m_interrupt = true;
    m_waker->Wake();
    m_thread.join();
    if (clear && m_up) {
        m_interrupt = false;  // the clear frame waits for its replies as any other
        SendClearPattern();
    }
    m_session.Link().ClosePort();
}

void LinkWorker::Run() {
    while (!m_stopping) {
        if (!m_up && !BringUp()) {
            WaitBeforeRetry();
            continue;
        }
        ServeWhileUp();
    }
}

// Looks for the port, and brings the link up on it when it opens.
bool LinkWorker::BringUp() {
    const PortPick pick = m_find_port();
    if (pick.name.empty()) {
        TellWaiting(pick.problem);
        return false;
    }
    if (!TryOnce(pick.name)) {
        return false;
    }
    m_waiting_reason.clear();
    m_up = m_ever_up = true;
    m_unanswered = 0;
    m_module_color.reset();
    m_module_brightness.reset();
    {
        std::lock_guard lock(m_mutex);
        m_model_pending = m_model.has_value();
    }
    m_current_pending = m_current.has_value();
    m_events.LinkUp(pick.name, m_baud);
    return true;
}

// A first start may find the module still at the chosen speed; after a loss it is back at
// its power-up speed, so only the full negotiation will do. A port that does not open is
// not probed at every speed.
bool LinkWorker::TryOnce(const std::string& port) {
    serial::OpenFailure why;
    if (m_platform.OpenExclusive(m_platform.DevicePath(port), &why) == nullptr) {
        TellWaiting(serial::DescribeOpenFailure(port, why));
        return false;
    }
    if (!m_ever_up) {
        return m_session.Connect(port, m_baud);
    }
    return m_session.Renegotiate(port, m_baud);
}

// Told once for each new reason, not at every look.
void LinkWorker::TellWaiting(const std::string& why) {
    if (why != m_waiting_reason) {
        m_waiting_reason = why;
        m_events.Waiting(why);
    }
}

void LinkWorker::PortsChanged() {
    m_ports_changed = true;
    m_waker->Wake();
}

// A wake from a new frame does not bring the next look forward; news of a port does.
void LinkWorker::WaitBeforeRetry() {
    const Clock::time_point next = Clock::now() + m_timings.retry;
    while (!m_stopping && !m_ports_changed.exchange(false)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        if (left.count() <= 0) {
            return;
        }
        m_waker->WaitFor(left);
    }
}

void LinkWorker::ServeWhileUp() {
    SendPendingModel();
    std::optional<Showing> next;
    {
        std::lock_guard lock(m_mutex);
        next = std::exchange(m_waiting, std::nullopt);
    }
    if (next) {
        Perform(*next);
        return;
    }
    if (m_current_pending) {
        m_current_pending = false;
        Perform(*m_current);
        return;
    }
    serial::SerialDevice* device = m_session.Link().hComPort();
    m_ports_changed = false;  // this wait checks the port when told again
    if (device == nullptr || device->WaitWhileIdle(*m_waker)) {
        Lose("the port hung up");
    }
}

void LinkWorker::Perform(const Showing& showing) {
    m_current = showing;
    SendSettingsOf(showing);
    if (!m_up) {
        return;
    }
    protocol::ModuleCommands& commands = m_session.Commands();
    if (!commands.SendFrameHeader() || !commands.SendFramePayload(*showing.frame)) {
        m_current_pending = true;
        Lose(WriteFailureReason());
        return;
    }
    if (!m_session.Commands().LastReplyMissing()) {
        m_unanswered = 0;
        m_events.FrameSent(showing.screen, showing.version);
        return;
    }
    m_events.FrameUnanswered(showing.screen, showing.version);
    if (++m_unanswered >= kUnansweredBeforeRenegotiating && !m_stopping) {
        m_current_pending = true;
        Lose("no reply to " + std::to_string(m_unanswered) + " frames in a row");
    }
}

// Only what differs from what the module has goes out.
void LinkWorker::SendSettingsOf(const Showing& showing) {
    protocol::ModuleCommands& commands = m_session.Commands();
    const auto send = [&](const char* prefix, std::optional<int> wanted, std::optional<int>& has) {
        if (!m_up || !wanted || wanted == has) {
            return;
        }
        commands.SendCommand(prefix, *wanted);
        if (m_session.Link().LastWriteOutcome() != serial::WriteOutcome::Sent) {
            m_current_pending = true;
            Lose(WriteFailureReason());
            return;
        }
        has = wanted;
    };
    send(protocol::SettingNamed("color").prefix, showing.color, m_module_color);
    send(protocol::SettingNamed("brightness").prefix, showing.brightness, m_module_brightness);
}

void LinkWorker::SendPendingModel() {
    std::optional<int> model;
    {
        std::lock_guard lock(m_mutex);
        if (m_model_pending) {
            model = m_model;
            m_model_pending = false;
        }
    }
    if (!model) {
        return;
    }
    m_session.Commands().SendCommand(protocol::SettingNamed("model").prefix, *model);
    if (m_session.Link().LastWriteOutcome() != serial::WriteOutcome::Sent) {
        std::lock_guard lock(m_mutex);
        m_model_pending = true;
        Lose(WriteFailureReason());
    }
}

void LinkWorker::Lose(const std::string& reason) {
    if (!m_up) {
        return;
    }
    m_up = false;
    m_session.Link().ClosePort();
    m_events.LinkDown(reason);
}

std::string LinkWorker::WriteFailureReason() {
    if (!m_session.Link().IsOpen()) {
        return "the port closed";
    }
    switch (m_session.Link().LastWriteOutcome()) {
        case serial::WriteOutcome::TimedOut:
            return "the module stopped taking bytes";
        case serial::WriteOutcome::Disconnected:
            return "the port is gone";
        case serial::WriteOutcome::Sent:
            break;
    }
    return "the port failed";
}

void LinkWorker::SendClearPattern() {
    const std::vector<std::uint8_t> clear(protocol::FrameBytes, protocol::kClearFill);
    protocol::ModuleCommands& commands = m_session.Commands();
    if (commands.SendFrameHeader()) {
        commands.SendFramePayload(clear);
    }
}

}  // namespace hub

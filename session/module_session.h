#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "serial/serial_link.h"

namespace session {

// Asked while waiting: once it holds, waits and negotiations end at once.
using StopCheck = std::function<bool()>;

// The link to the module as a program that keeps it holds it, replies waited for on the
// port itself. Used by lcdctl and lcdhub.
class ModuleSession {
public:
    ModuleSession(serial::SerialPlatform& platform, serial::LogSink& log, StopCheck stop);

    // Brings the link up on `port` at `baud`. A module that an earlier call left at `baud`
    // answers the first hello; any other goes through the three stages. False on a stop.
    bool Connect(const std::string& port, std::int32_t baud);

    // After a lost link: waits until the port Connect used opens again, then brings the
    // link up through the three stages, from the module's power-up speed, trying again
    // every `pause`. False once `deadline` has passed, or on a stop.
    bool Reconnect(std::chrono::steady_clock::time_point deadline,
                   std::chrono::milliseconds pause = std::chrono::milliseconds(200));
    // One pass of the three stages on `port`, for a link that was lost: the module is back
    // at its power-up speed. False when no module answered, or on a stop.
    bool Renegotiate(const std::string& port, std::int32_t baud);
    // After a Connect that failed: why the port could not be opened at all, if that was it.
    const std::optional<serial::OpenFailure>& Unopenable() const { return m_unopenable; }

    const std::string& Port() const { return m_port; }
    std::int32_t Baud() const { return m_baud; }
    serial::SerialLink& Link() { return m_link; }
    protocol::ModuleCommands& Commands() { return m_commands; }

private:
    serial::LogSink& m_log;
    StopCheck m_stop;
    serial::SerialLink m_link;
    protocol::LinkNegotiator m_negotiator;
    protocol::ModuleCommands m_commands;
    std::optional<serial::OpenFailure> m_unopenable;
    std::string m_port;
    std::int32_t m_baud = 0;
};

}  // namespace session

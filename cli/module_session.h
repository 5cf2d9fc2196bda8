#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "serial/serial_link.h"

namespace cli {

// The link to the module as lcdctl holds it, replies waited for on the port itself; Ctrl-C
// ends a wait for a reply at once, and the negotiation with it.
class ModuleSession {
public:
    ModuleSession(serial::SerialPlatform& platform, serial::LogSink& log);

    // Brings the link up on `port` at `baud`. A module that an earlier call left at `baud`
    // answers the first hello; any other goes through the panel's three stages. False on
    // Ctrl-C too.
    bool Connect(const std::string& port, std::int32_t baud);

    // After a lost link: waits until the port Connect used opens again (an adapter that was
    // pulled out, or a module that reset), then brings the link up through the three
    // stages, from the module's power-up speed. False once `deadline` has passed, or on
    // Ctrl-C.
    bool Reconnect(std::chrono::steady_clock::time_point deadline);
    // After a Connect that failed: why the port could not be opened at all, if that was it.
    const std::optional<serial::OpenFailure>& Unopenable() const { return m_unopenable; }

    serial::SerialLink& Link() { return m_link; }
    protocol::ModuleCommands& Commands() { return m_commands; }

private:
    serial::LogSink& m_log;
    serial::SerialLink m_link;
    protocol::LinkNegotiator m_negotiator;
    protocol::ModuleCommands m_commands;
    std::optional<serial::OpenFailure> m_unopenable;
    std::string m_port;
    std::int32_t m_baud = 0;
};

}  // namespace cli

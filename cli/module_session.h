#pragma once

#include <cstdint>
#include <string>

#include "protocol/commands.h"
#include "protocol/handshake.h"
#include "serial/serial_link.h"

namespace cli {

// The link to the module as lcdctl holds it, replies waited for on the port itself.
class ModuleSession {
public:
    ModuleSession(serial::SerialPlatform& platform, serial::LogSink& log);

    // Brings the link up on `port` at `baud`. A module that an earlier call left at `baud`
    // answers the first hello; any other goes through the panel's three stages.
    bool Connect(const std::string& port, std::int32_t baud);

    serial::SerialLink& Link() { return m_link; }
    protocol::ModuleCommands& Commands() { return m_commands; }

private:
    serial::LogSink& m_log;
    serial::SerialLink m_link;
    protocol::LinkNegotiator m_negotiator;
    protocol::ModuleCommands m_commands;
};

}  // namespace cli

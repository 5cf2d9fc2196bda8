#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "serial/log_sink.h"
#include "serial/serial_link.h"

namespace protocol {

// The speeds the module can run at, probed in this order: its power-up speed first.
inline constexpr std::array<std::int32_t, 7> kModuleSpeeds = {2400,    9600,    115200, 921600,
                                                              2016806, 3037974, 5000000};

inline constexpr std::size_t kHandshakeBufferSize = 512;
inline constexpr char kHelloPrefix[] = "hello, please set baudrate to: ";
inline constexpr char kAcceptanceMark[] = "yes, current baudrate is: ";
inline constexpr char kConnectedLine[] = "初始化成功，双方的当前波特率：";

enum class NegotiationOutcome {
    ModuleNotFound,  // no listed speed answered; the port is closed
    ChangeRefused,   // found, but the hello asking for the new speed failed; closed
    NotFollowed,     // the module took the change but did not answer at it; closed
    Connected,       // the port stays open at the chosen speed
    LinkLost,        // a hello could not be written (logged by the link); closed
    Stopped,         // the link's stop was requested; no further probe, closed
};

// Finds the module's speed, moves it to the operator's choice and confirms the link.
class LinkNegotiator {
public:
    LinkNegotiator(serial::SerialLink& link, serial::LogSink& log) : m_link(link), m_log(log) {}

    // Opens `path` at `speed` and exchanges one hello asking the module to move to
    // `request` (0, or the speed itself, asks it to stay). True: the module answered and
    // the port stays open at `speed`. False: the port is closed; once the link's stop is
    // requested, at once, without a probe.
    bool HandshakeAt(const std::string& path, std::int32_t speed, std::int32_t request);

    // The open button's three stages on the port named `port_name`: probe every listed
    // speed, ask the module that answered for `chosen_text`'s speed, then follow it there.
    // `chosen_text` is converted only when the second stage needs it, so a text that is
    // no number throws EConvertError with the port left open at the probed speed.
    NegotiationOutcome Negotiate(const std::string& port_name, const std::string& chosen_text);

    // The same stages to the speed `chosen`, for a program that holds it as a number.
    NegotiationOutcome Negotiate(const std::string& port_name, std::int32_t chosen);

    // The last hello could not be written: the device stopped taking bytes or vanished, and
    // no later probe can do better.
    bool WriteFailed() const { return m_link.LastWriteOutcome() != serial::WriteOutcome::Sent; }

    // After a Negotiate that found no module: why, when not one probe could open the port.
    const std::optional<serial::OpenFailure>& PortUnopenable() const { return m_unopenable; }

private:
    // The first stage on `path`: the listed speed the module answered at, or how it ended.
    std::variant<std::int32_t, NegotiationOutcome> FindModule(const std::string& path);
    // The second and third stages: the module found at `found` moved to `chosen`.
    NegotiationOutcome MoveModule(const std::string& path, std::int32_t found, std::int32_t chosen);
    // Logs the speed, opens the port at it and exchanges the hello; true on acceptance.
    bool ExchangeHello(const std::string& path, std::int32_t speed, std::int32_t request);
    // After a failed stage: Stopped once a stop is requested, LinkLost after a failed write.
    std::optional<NegotiationOutcome> EndedEarly() const;

    serial::SerialLink& m_link;
    serial::LogSink& m_log;
    std::optional<serial::OpenFailure> m_unopenable;
};

}  // namespace protocol

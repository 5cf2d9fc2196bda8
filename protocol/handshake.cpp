#include "protocol/handshake.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "protocol/str_to_int.h"

namespace protocol {

namespace {

// The hello asks for nothing when the module is to stay at the speed we open at.
std::int32_t HelloValue(std::int32_t speed, std::int32_t request) {
    return (request != speed && request != 0) ? request : 0;
}

bool HoldsAcceptanceMark(const std::uint8_t* buffer) {
    return std::strstr(reinterpret_cast<const char*>(buffer), kAcceptanceMark) != nullptr;
}

}  // namespace

bool LinkNegotiator::HandshakeAt(const std::string& path, std::int32_t speed,
                                 std::int32_t request) {
    if (!m_link.StopRequested() && ExchangeHello(path, speed, request)) {
        return true;
    }
    m_link.ClosePort();
    return false;
}

bool LinkNegotiator::ExchangeHello(const std::string& path, std::int32_t speed,
                                   std::int32_t request) {
    m_log.LogLine("baudrate " + std::to_string(speed) + "...");
    if (!m_link.OpenPort(path, speed)) {
        return false;
    }
    std::uint8_t buffer[kHandshakeBufferSize] = {};
    const int length = std::snprintf(reinterpret_cast<char*>(buffer), sizeof buffer, "%s%d\n",
                                     kHelloPrefix, HelloValue(speed, request));
    if (!m_link.SendBytes(buffer, static_cast<std::size_t>(length))) {
        return false;
    }
    std::memset(buffer, 0, sizeof buffer);
    return m_link.ReadReply(buffer, sizeof buffer, '\n') > 0 && HoldsAcceptanceMark(buffer);
}

std::optional<NegotiationOutcome> LinkNegotiator::EndedEarly() const {
    if (m_link.StopRequested()) {
        return NegotiationOutcome::Stopped;
    }
    if (WriteFailed()) {
        return NegotiationOutcome::LinkLost;
    }
    return std::nullopt;
}

std::variant<std::int32_t, NegotiationOutcome> LinkNegotiator::FindModule(const std::string& path) {
    bool never_opened = true;
    m_unopenable.reset();
    for (const std::int32_t probe : kModuleSpeeds) {
        if (HandshakeAt(path, probe, probe)) {
            return probe;
        }
        never_opened = never_opened && m_link.LastOpenFailure().has_value();
        if (const std::optional<NegotiationOutcome> ended = EndedEarly()) {
            return *ended;
        }
    }
    m_log.LogLine("尝试与模块通信时失败，模块的波特率未知。");
    if (never_opened) {
        m_unopenable = m_link.LastOpenFailure();
    }
    return NegotiationOutcome::ModuleNotFound;
}

NegotiationOutcome LinkNegotiator::MoveModule(const std::string& path, std::int32_t found,
                                              std::int32_t chosen) {
    if (!HandshakeAt(path, found, chosen)) {
        if (const std::optional<NegotiationOutcome> ended = EndedEarly()) {
            return *ended;
        }
        m_log.LogLine("设置新波特率失败。");
        return NegotiationOutcome::ChangeRefused;
    }
    if (!HandshakeAt(path, chosen, chosen)) {
        if (const std::optional<NegotiationOutcome> ended = EndedEarly()) {
            return *ended;
        }
        m_log.LogLine("错误：设置新波特率后，未能正确初始化。");
        return NegotiationOutcome::NotFollowed;
    }
    return NegotiationOutcome::Connected;
}

NegotiationOutcome LinkNegotiator::Negotiate(const std::string& port_name,
                                             const std::string& chosen_text) {
    const std::string path = m_link.Platform().DevicePath(port_name);
    const std::variant<std::int32_t, NegotiationOutcome> found = FindModule(path);
    if (const auto* ended = std::get_if<NegotiationOutcome>(&found)) {
        return *ended;
    }
    // Converted only now: a text that is no number throws with the port open at the probe.
    const std::int32_t chosen = StrToInt(chosen_text);
    const NegotiationOutcome outcome = MoveModule(path, std::get<std::int32_t>(found), chosen);
    if (outcome == NegotiationOutcome::Connected) {
        m_log.LogLine(kConnectedLine + chosen_text);  // the speed as the operator wrote it
    }
    return outcome;
}

NegotiationOutcome LinkNegotiator::Negotiate(const std::string& port_name, std::int32_t chosen) {
    const std::string path = m_link.Platform().DevicePath(port_name);
    const std::variant<std::int32_t, NegotiationOutcome> found = FindModule(path);
    if (const auto* ended = std::get_if<NegotiationOutcome>(&found)) {
        return *ended;
    }
    const NegotiationOutcome outcome = MoveModule(path, std::get<std::int32_t>(found), chosen);
    if (outcome == NegotiationOutcome::Connected) {
        m_log.LogLine(kConnectedLine + std::to_string(chosen));
    }
    return outcome;
}

}  // namespace protocol

#include "protocol/commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace protocol {

void ModuleCommands::SendCommand(const char* prefix, int value) {
    m_reply_missing = false;
    if (!m_link.IsOpen()) {
        LogPortNotOpen();
        return;
    }
    std::uint8_t buffer[kCommandBufferSize] = {};
    const int length =
        std::snprintf(reinterpret_cast<char*>(buffer), sizeof buffer, "%s%d\n", prefix, value);
    if (!m_link.SendBytes(buffer, static_cast<std::size_t>(length))) {
        return;
    }
    std::memset(buffer, 0, sizeof buffer);
    m_reply_missing = m_link.ReadReply(buffer, sizeof buffer, '\n') == 0;
}

bool ModuleCommands::ExchangeFrame(std::span<std::uint8_t> buffer,
                                   const std::function<void(std::span<std::uint8_t>)>& fill_frame) {
    if (buffer.size() < FrameBytes) {
        throw std::invalid_argument("frame buffer too small");
    }
    const std::span<std::uint8_t> frame = buffer.first(FrameBytes);
    if (!SendHeaderUsing(frame)) {
        return false;
    }
    fill_frame(frame);
    return SendPayloadUsing(frame, frame);
}

bool ModuleCommands::SendFrameHeader() {
    return SendHeaderUsing(ReplyScratch());
}

bool ModuleCommands::SendFramePayload(std::span<const std::uint8_t> frame) {
    if (frame.size() != FrameBytes) {
        throw std::invalid_argument("a frame holds FrameBytes bytes");
    }
    return SendPayloadUsing(frame, ReplyScratch());
}

std::span<std::uint8_t> ModuleCommands::ReplyScratch() {
    m_reply_scratch.resize(FrameBytes);
    return m_reply_scratch;
}

bool ModuleCommands::SendHeaderUsing(std::span<std::uint8_t> scratch) {
    m_reply_missing = false;
    if (!m_link.IsOpen()) {
        LogPortNotOpen();
        return false;
    }
    std::ranges::fill(scratch, 0);
    const int length =
        std::snprintf(reinterpret_cast<char*>(scratch.data()), scratch.size(), "%s%d,%d,%d,%d\n",
                      kFrameHeaderPrefix, 0, 0, kScreenWidth, kScreenHeight);
    if (!m_link.SendBytes(scratch.data(), static_cast<std::size_t>(length))) {
        return false;
    }
    std::ranges::fill(scratch, 0);
    m_link.ReadReply(scratch.data(), scratch.size(), '\n');
    return true;
}

// `frame` may be `scratch` itself: its bytes are out before the reply is read over them.
bool ModuleCommands::SendPayloadUsing(std::span<const std::uint8_t> frame,
                                      std::span<std::uint8_t> scratch) {
    m_reply_missing = false;
    if (!m_link.SendBytes(frame.data(), frame.size())) {
        return false;
    }
    std::ranges::fill(scratch, 0);
    m_reply_missing = m_link.ReadReply(scratch.data(), scratch.size(), '\n') == 0;
    return true;
}

}  // namespace protocol

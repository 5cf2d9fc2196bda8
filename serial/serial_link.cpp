#include "serial/serial_link.h"

#include <algorithm>
#include <cstring>

namespace serial {

namespace {

// The stored text runs to its first NUL, which may come before the bytes counted.
std::string_view TextOf(const std::uint8_t* buffer, std::size_t length) {
    const char* text = reinterpret_cast<const char*>(buffer);
    return std::string_view(text, ::strnlen(text, length));
}

}  // namespace

bool SerialLink::OpenPort(const std::string& path, std::int32_t speed) {
    ClosePort();
    std::unique_ptr<SerialDevice> device = m_platform.OpenExclusive(path);
    if (!device || !device->ApplyLineSettings(speed)) {
        return false;
    }
    m_hComPort = std::move(device);
    return true;
}

void SerialLink::ClosePort() {
    m_hComPort.reset();
}

std::size_t SerialLink::SendBytes(const std::uint8_t* data, std::size_t count) {
    if (!m_hComPort) {
        return 0;
    }
    return m_hComPort->Write(data, count);
}

std::size_t SerialLink::SendBytes(const std::string& text) {
    return SendBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::size_t SerialLink::TakeWaitingBytes(std::uint8_t* buffer, std::size_t room) {
    const std::optional<std::size_t> waiting = m_hComPort->BytesWaiting();
    if (!waiting || *waiting == 0) {
        return 0;
    }
    const std::optional<std::size_t> got = m_hComPort->Read(buffer, std::min(*waiting, room));
    return got ? std::min(*got, room) : 0;
}

std::size_t SerialLink::ReadReply(std::uint8_t* buffer, std::size_t capacity,
                                  std::uint8_t terminator) {
    if (!m_hComPort || capacity == 0) {
        return 0;
    }
    std::size_t length = 0;
    int idle = 0;
    while (true) {
        m_platform.SleepAboutOneMs();
        const std::size_t got = TakeWaitingBytes(buffer + length, capacity - 1 - length);
        if (got == 0) {
            if (++idle > kIdleLimit) {
                break;
            }
            continue;
        }
        length += got;
        buffer[length] = 0;
        const std::string_view text = TextOf(buffer, length);
        if (text.find(static_cast<char>(terminator)) != std::string_view::npos ||
            length == capacity - 1) {
            break;
        }
        idle = kIdleAfterChunk;
    }
    if (length > 0) {
        m_log.LogReply(TextOf(buffer, length));
    }
    return length;
}

}  // namespace serial

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

// Ten bit times a byte, rounded up to whole milliseconds.
std::int64_t WireMilliseconds(std::size_t count, std::int32_t speed) {
    return (static_cast<std::int64_t>(count) * 10'000 + speed - 1) /
           std::max<std::int32_t>(speed, 1);
}

}  // namespace

std::chrono::milliseconds WriteDeadline(std::size_t count, std::int32_t speed) {
    const std::int64_t wire_ms = WireMilliseconds(count, speed);
    return std::chrono::milliseconds(std::max(wire_ms * 3 / 2, wire_ms + 1000));
}

std::chrono::milliseconds ReadDeadline(std::size_t capacity, std::int32_t speed) {
    return std::chrono::milliseconds(WireMilliseconds(capacity, speed) + 1000);
}

std::string DescribeOpenFailure(const std::string& path, const OpenFailure& failure) {
    std::string text = "cannot open " + path + ": " + failure.reason;
    if (!failure.remedy.empty()) {
        text += "; " + failure.remedy;
    }
    return text;
}

bool SerialLink::OpenPort(const std::string& path, std::int32_t speed) {
    ClosePort();
    m_last_write = WriteOutcome::Sent;
    OpenFailure failure;
    std::unique_ptr<SerialDevice> device = m_platform.OpenExclusive(path, &failure);
    m_open_failure.reset();
    if (!device) {
        m_open_failure = std::move(failure);
        return false;
    }
    if (!device->ApplyLineSettings(speed)) {
        return false;
    }
    m_hComPort = std::move(device);
    m_speed = speed;
    return true;
}

void SerialLink::ClosePort() {
    m_hComPort.reset();
}

bool SerialLink::SendBytes(const std::uint8_t* data, std::size_t count) {
    if (!m_hComPort) {
        return false;
    }
    m_last_write = m_progress
                       ? WriteInPieces(data, count)
                       : m_hComPort->Write(data, count, WriteDeadline(count, m_speed)).outcome;
    switch (m_last_write) {
        case WriteOutcome::Sent:
            return true;
        case WriteOutcome::TimedOut:
            m_log.LogLine(kWriteTimedOut);
            return false;
        case WriteOutcome::Disconnected:
            m_log.LogLine(kPortDisconnected);
            return false;
    }
    return false;
}

WriteOutcome SerialLink::WriteInPieces(const std::uint8_t* data, std::size_t count) {
    const std::size_t second = static_cast<std::size_t>(std::max(m_speed, 10)) / 10;
    const std::size_t piece = count > second ? std::max<std::size_t>(second / 4, 1) : count;
    for (std::size_t at = 0; at < count; at += piece) {
        const std::size_t size = std::min(piece, count - at);
        const WriteOutcome outcome =
            m_hComPort->Write(data + at, size, WriteDeadline(size, m_speed)).outcome;
        if (outcome != WriteOutcome::Sent) {
            return outcome;
        }
        m_progress(at + size, count);
    }
    return WriteOutcome::Sent;
}

bool SerialLink::SendBytes(const std::string& text) {
    return SendBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void SerialLink::WaitOnePoll() {
    if (m_wake_on_input) {
        m_hComPort->WaitForInput(std::chrono::milliseconds(1));
    } else {
        m_platform.SleepAboutOneMs();
    }
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
    const auto deadline = m_platform.Now() + ReadDeadline(capacity, m_speed);
    std::size_t length = 0;
    int idle = 0;
    bool cut_off = false;
    while (true) {
        WaitOnePoll();
        const std::size_t got = TakeWaitingBytes(buffer + length, capacity - 1 - length);
        if (got == 0) {
            if (++idle > kIdleLimit) {
                break;
            }
        } else {
            length += got;
            buffer[length] = 0;
            const std::string_view text = TextOf(buffer, length);
            if (text.find(static_cast<char>(terminator)) != std::string_view::npos ||
                length == capacity - 1) {
                break;
            }
            idle = kIdleAfterChunk;
        }
        if (StopRequested()) {
            break;
        }
        if (m_platform.Now() >= deadline) {
            cut_off = length > 0;
            break;
        }
    }
    if (length > 0) {
        m_log.LogReply(TextOf(buffer, length));
    }
    if (cut_off) {
        m_log.LogLine(kReplyTimedOut);
    }
    return length;
}

}  // namespace serial

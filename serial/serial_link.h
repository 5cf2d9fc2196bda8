#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/log_sink.h"
#include "serial/serial_platform.h"

namespace serial {

// The one serial port through which the panel talks to the module.
class SerialLink {
public:
    // A reply that has not grown for this many polls after its last chunk is complete;
    // with nothing at all, the read gives up after one more than kIdleLimit polls.
    static constexpr int kIdleLimit = 100;
    static constexpr int kIdleAfterChunk = 90;

    SerialLink(SerialPlatform& platform, LogSink& log) : m_platform(platform), m_log(log) {}

    // Closes any open port, then opens `path` exclusively at `speed`. False leaves no port.
    bool OpenPort(const std::string& path, std::int32_t speed);
    void ClosePort();

    // The open port, or nullptr when none is open.
    SerialDevice* hComPort() const { return m_hComPort.get(); }
    bool IsOpen() const { return m_hComPort != nullptr; }

    // Writes the block in one call; returns what the system reports written. Only while
    // a port is open.
    std::size_t SendBytes(const std::uint8_t* data, std::size_t count);
    std::size_t SendBytes(const std::string& text);

    // Reads one reply into `buffer`: until the text holds `terminator`, the buffer holds
    // capacity - 1 bytes, or the line stays quiet. A NUL follows what was stored; when
    // nothing arrived the buffer is left as it was. Bytes beyond the room stay queued. Logs the text when anything arrived and returns
    // the count stored. Only while a port is open.
    std::size_t ReadReply(std::uint8_t* buffer, std::size_t capacity, std::uint8_t terminator);

    SerialPlatform& Platform() const { return m_platform; }

private:
    // Takes what one poll finds waiting; the count appended, 0 when the poll was empty.
    std::size_t TakeWaitingBytes(std::uint8_t* buffer, std::size_t room);

    SerialPlatform& m_platform;
    LogSink& m_log;
    std::unique_ptr<SerialDevice> m_hComPort;
};

}  // namespace serial

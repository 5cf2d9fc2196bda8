#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "serial/log_sink.h"
#include "serial/serial_platform.h"

namespace serial {

inline constexpr char kWriteTimedOut[] = "错误：串口写入超时。";
inline constexpr char kPortDisconnected[] = "错误：串口已断开。";
inline constexpr char kReplyTimedOut[] = "错误：模块的回复超时，已截断。";

// How long a write of `count` bytes at `speed` may take: the larger of 1.5 times its wire
// time (ten bit times a byte) and its wire time plus one second.
std::chrono::milliseconds WriteDeadline(std::size_t count, std::int32_t speed);

// How long a read into `capacity` bytes at `speed` may take in all: the wire time of a full
// buffer plus one second, which a module that answers at all never needs. A module that
// drips bytes is never quiet, and without it would hold the read until the buffer is full.
std::chrono::milliseconds ReadDeadline(std::size_t capacity, std::int32_t speed);

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
    // Why the last OpenPort could not open the device at all; nullopt when it opened (even
    // if it then refused the speed).
    const std::optional<OpenFailure>& LastOpenFailure() const { return m_open_failure; }
    void ClosePort();

    // The open port, or nullptr when none is open.
    SerialDevice* hComPort() const { return m_hComPort.get(); }
    bool IsOpen() const { return m_hComPort != nullptr; }

    // Writes the block in one call, with a deadline of the larger of 1.5 times its wire
    // time and its wire time plus one second. False when no port is open, or when the
    // deadline passed or the device is gone; these two are logged, and the caller ends its
    // action. The port stays open either way.
    bool SendBytes(const std::uint8_t* data, std::size_t count);
    bool SendBytes(const std::string& text);
    // What the last SendBytes ran into.
    WriteOutcome LastWriteOutcome() const { return m_last_write; }

    // Reads one reply into `buffer`: until the text holds `terminator`, the buffer holds
    // capacity - 1 bytes, the line stays quiet, the read's deadline passes (a reply cut off
    // by it is logged as such) or a stop is requested. A NUL follows what was stored; when
    // nothing arrived the buffer is left as it was. Bytes beyond the room stay queued. Logs the
    // text when anything arrived and returns the count stored. Only while a port is open.
    std::size_t ReadReply(std::uint8_t* buffer, std::size_t capacity, std::uint8_t terminator);

    SerialPlatform& Platform() const { return m_platform; }

    // Told how far a long write has got: a write whose wire time is over a second then goes
    // out in pieces of about a quarter second, each with its own deadline.
    using WriteProgress = std::function<void(std::size_t written, std::size_t total)>;
    void SetWriteProgress(WriteProgress progress) { m_progress = std::move(progress); }

    // Replies are waited for on the port itself, waking as soon as bytes arrive, instead of
    // sleeping out each poll. The time-outs, counted in quiet polls, stay the same.
    void SetWakeOnInput(bool wake) { m_wake_on_input = wake; }

    // Asked after every poll: once it holds, a read ends at once with what it has. Writes
    // are not cut short, so that a frame on the line is finished.
    void SetStopRequested(std::function<bool()> stop) { m_stop = std::move(stop); }
    bool StopRequested() const { return m_stop && m_stop(); }

private:
    // Takes what one poll finds waiting; the count appended, 0 when the poll was empty.
    std::size_t TakeWaitingBytes(std::uint8_t* buffer, std::size_t room);
    WriteOutcome WriteInPieces(const std::uint8_t* data, std::size_t count);
    void WaitOnePoll();

    SerialPlatform& m_platform;
    LogSink& m_log;
    std::unique_ptr<SerialDevice> m_hComPort;
    std::int32_t m_speed = 0;
    WriteOutcome m_last_write = WriteOutcome::Sent;
    std::optional<OpenFailure> m_open_failure;
    bool m_wake_on_input = false;
    WriteProgress m_progress;
    std::function<bool()> m_stop;
};

}  // namespace serial

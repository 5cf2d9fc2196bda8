#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/waker.h"

namespace serial {

// How a write ended.
enum class WriteOutcome {
    Sent,          // every byte is on its way
    TimedOut,      // the device stopped taking bytes before the deadline
    Disconnected,  // the device is gone (unplugged, or the other end closed)
};

struct WriteResult {
    std::size_t written = 0;
    WriteOutcome outcome = WriteOutcome::Sent;
};

// Why a device could not be opened, in the system's words, with what to do about it where
// the platform knows a remedy.
struct OpenFailure {
    int code = 0;        // errno, or the Windows error code
    std::string reason;  // the system's message for the code
    std::string remedy;  // empty when there is nothing particular to suggest
};

// "cannot open PATH: REASON", then "; REMEDY" when there is one.
std::string DescribeOpenFailure(const std::string& path, const OpenFailure& failure);

// One open serial device. Destroying it closes the device.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Raw 8 data bits, no parity, one stop bit, no flow control, DTR and RTS inactive, at
    // exactly `baud` bit/s. False when the device cannot take these settings.
    virtual bool ApplyLineSettings(std::int32_t baud) = 0;

    // Bytes waiting in the input queue, clearing any line-error state; nullopt when the
    // query fails.
    virtual std::optional<std::size_t> BytesWaiting() = 0;

    // Reads at most `max` bytes that are already waiting; nullopt when the read fails.
    virtual std::optional<std::size_t> Read(std::uint8_t* dst, std::size_t max) = 0;

    // Writes the whole block and returns once it has left the host, or when the device
    // stops taking it for `timeout` in all, or is gone.
    virtual WriteResult Write(const std::uint8_t* src, std::size_t count,
                              std::chrono::milliseconds timeout) = 0;

    // Waits up to `timeout` for input, returning early when bytes arrive. A device that
    // cannot be woken by its input just sleeps.
    virtual void WaitForInput(std::chrono::microseconds timeout) = 0;

    // Waits while the link is idle until the device goes away (an adapter pulled out) or
    // `waker` wakes; true when the device is gone. Bytes that come meanwhile stay queued. A
    // device that cannot tell waits for the wake alone.
    virtual bool WaitWhileIdle(Waker& waker) {
        while (!waker.WaitFor(std::chrono::hours(1))) {
        }
        return false;
    }
};

// The operating system's serial calls, behind one seam so the link can be tested with a
// scripted device, a counted sleep and a clock that follows it.
class SerialPlatform {
public:
    virtual ~SerialPlatform() = default;

    // Opens the device for reading and writing, exclusively: a device that is missing or
    // already open (by anyone, this process included) gives nullptr, and `why`, when given,
    // says what stood in the way.
    virtual std::unique_ptr<SerialDevice> OpenExclusive(const std::string& path,
                                                        OpenFailure* why = nullptr) = 0;

    // Suspends the thread for about one millisecond.
    virtual void SleepAboutOneMs() = 0;

    // The device path for a port name as the operator types or picks it.
    virtual std::string DevicePath(const std::string& name) const = 0;

    // The port names the scan considers, in the order they are listed.
    virtual std::vector<std::string> PortCandidates() const = 0;

    // Whether the port named could be opened now: it is there, we may read and write it,
    // and nobody holds it, this program included. Here it is opened and closed at once,
    // which is how Windows tells; a platform that can tell without opening overrides it.
    virtual bool PortIsFree(const std::string& name) {
        return OpenExclusive(DevicePath(name)) != nullptr;
    }

    // The clock that reads are timed by.
    virtual std::chrono::steady_clock::time_point Now() const {
        return std::chrono::steady_clock::now();
    }

    // What every port name here starts with, shown in an empty port field; empty where
    // port names have no common start.
    virtual std::string PortNamePrefix() const { return {}; }

    // Whether a port's name tells a USB adapter from a built-in port (COM names do not), so
    // that a program may pick the only USB serial port by itself.
    virtual bool NamesTellUsbPorts() const { return true; }
};

// The backend of the platform this program was built for.
std::unique_ptr<SerialPlatform> MakeNativeSerialPlatform();

}  // namespace serial

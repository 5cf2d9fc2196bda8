#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

#include "serial/port_finder_linux.h"
#include "serial/serial_platform.h"
#include "serial/termios2_linux.h"

namespace serial {

namespace {

class PosixSerialDevice final : public SerialDevice {
public:
    explicit PosixSerialDevice(int fd) : m_fd(fd) { AskForLowLatency(); }
    // Exclusive mode outlives our descriptor while anyone else keeps the terminal open (a
    // pseudo-terminal's owner does), and would lock out the next open; lift it first.
    ~PosixSerialDevice() override {
        RestoreLatency();
        (void)::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    bool ApplyLineSettings(std::int32_t baud) override {
        if (!termios2::SetRawLine(m_fd, baud)) {
            return false;
        }
        m_byte_time_us = std::max<std::int64_t>(1, 10'000'000 / baud);
        DropModemLines();
        return true;
    }

    std::optional<std::size_t> BytesWaiting() override {
        int waiting = 0;
        if (::ioctl(m_fd, FIONREAD, &waiting) != 0 || waiting < 0) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(waiting);
    }

    std::optional<std::size_t> Read(std::uint8_t* dst, std::size_t max) override {
        ssize_t got;
        do {
            got = ::read(m_fd, dst, max);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(got);
    }

    WriteResult Write(const std::uint8_t* src, std::size_t count,
                      std::chrono::milliseconds timeout) override {
        const Clock::time_point deadline = Clock::now() + timeout;
        WriteResult result;
        while (result.written < count) {
            const ssize_t put = ::write(m_fd, src + result.written, count - result.written);
            if (put > 0) {
                result.written += static_cast<std::size_t>(put);
            } else if (put < 0 && errno == EINTR) {
                continue;
            } else if (put < 0 && errno == EAGAIN) {
                if (!WaitWritable(deadline)) {
                    result.outcome = WriteOutcome::TimedOut;
                    return result;
                }
            } else {
                result.outcome = WriteOutcome::Disconnected;  // EIO, ENXIO, ENODEV: gone
                return result;
            }
        }
        if (!WaitUntilSent(deadline)) {
            result.outcome = WriteOutcome::TimedOut;
        }
        return result;
    }

    void WaitForInput(std::chrono::microseconds timeout) override {
        pollfd input{m_fd, POLLIN, 0};
        const auto whole = std::chrono::duration_cast<std::chrono::seconds>(timeout);
        const timespec wait{static_cast<time_t>(whole.count()),
                            static_cast<long>((timeout - whole).count() * 1000)};
        (void)::ppoll(&input, 1, &wait, nullptr);
    }

    // A hang-up or an error is reported whatever the events asked for.
    bool WaitWhileIdle(Waker& waker) override {
        pollfd both[2] = {{m_fd, 0, 0}, {static_cast<int>(waker.NativeHandle()), POLLIN, 0}};
        while (::poll(both, 2, -1) < 0) {
            if (errno != EINTR) {
                return true;
            }
        }
        if (both[1].revents != 0) {
            waker.Consume();
        }
        return (both[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

private:
    using Clock = std::chrono::steady_clock;

    bool WaitWritable(Clock::time_point deadline) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return false;
        }
        pollfd output{m_fd, POLLOUT, 0};
        const auto left_ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        return ::poll(&output, 1, static_cast<int>(left_ms)) >= 0 || errno == EINTR;
    }

    // A write is done when the bytes are on the wire, not when the driver has queued them:
    // the reply's idle time-out only starts then, even at 2,400 bit/s. tcdrain() has no
    // deadline, so the output queue is watched until it empties; a device that stopped
    // taking bytes keeps it full.
    bool WaitUntilSent(Clock::time_point deadline) {
        int queued = 0;
        while (::ioctl(m_fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
            if (Clock::now() >= deadline) {
                return false;
            }
            const auto drain = std::chrono::microseconds(std::clamp<std::int64_t>(
                static_cast<std::int64_t>(queued) * m_byte_time_us, 100, 20000));
            timespec pause{0, static_cast<long>(drain.count() * 1000)};
            while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
            }
        }
        while (::tcdrain(m_fd) != 0 && errno == EINTR) {
        }
        return true;
    }

    // A USB adapter holds short replies back for its latency timer (16 ms on FTDI chips),
    // and every frame waits for a reply after its header. Low latency makes the driver pass
    // them on at once (FTDI's timer drops to 1 ms). Drivers without the flag refuse, and
    // are left as they are.
    void AskForLowLatency() {
        serial_struct settings{};
        if (::ioctl(m_fd, TIOCGSERIAL, &settings) != 0 ||
            (settings.flags & ASYNC_LOW_LATENCY) != 0) {
            return;
        }
        settings.flags |= ASYNC_LOW_LATENCY;
        m_set_low_latency = ::ioctl(m_fd, TIOCSSERIAL, &settings) == 0;
    }

    // The flag outlives the descriptor; the next program gets the adapter as we found it.
    void RestoreLatency() {
        serial_struct settings{};
        if (m_set_low_latency && ::ioctl(m_fd, TIOCGSERIAL, &settings) == 0) {
            settings.flags &= ~ASYNC_LOW_LATENCY;
            (void)::ioctl(m_fd, TIOCSSERIAL, &settings);
        }
    }

    // Both handshake lines inactive. A pseudo-terminal has no modem lines and refuses.
    void DropModemLines() {
        int lines = TIOCM_DTR | TIOCM_RTS;
        (void)::ioctl(m_fd, TIOCMBIC, &lines);
    }

    int m_fd;
    bool m_set_low_latency = false;
    std::int64_t m_byte_time_us = 1;  // one 8N1 byte on the line
};

// The system's words for `code`, and what a user of this system can do about it.
OpenFailure FailureOf(int code, const std::string& path, const LinuxFolders& folders) {
    OpenFailure failure{code, std::generic_category().message(code), {}};
    if (code == EACCES) {
        failure.remedy =
            "join the dialout group (sudo usermod -aG dialout $USER), then log in again";
    } else if (code == EBUSY) {
        const std::string holders = HoldersOf(path, folders);
        failure.remedy =
            holders.empty() ? "which program holds it could not be found" : "held by " + holders;
    } else if (code == ENOTTY) {
        failure.reason = "not a serial port";
    }
    return failure;
}

// The lock and TIOCEXCL make the port ours alone. Neither stops root, so a port that
// someone else marked exclusive counts as busy and is closed untouched: its settings and
// its flag stay theirs. The descriptor stays non-blocking, so that a modem line cannot
// hold up the open and a device that stops reading cannot hold up a write forever.
// Returns the descriptor, or -1 with the errno that explains it in `error`.
int OpenExclusiveFd(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    int held_elsewhere = 1;  // a descriptor that is no terminal cannot tell, and is refused
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
    } else if (::ioctl(fd, TIOCGEXCL, &held_elsewhere) != 0) {
        error = errno;
    } else if (held_elsewhere != 0) {
        error = EBUSY;
    } else if (::ioctl(fd, TIOCEXCL) != 0) {
        error = errno;
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

class PosixSerialPlatform final : public SerialPlatform {
public:
    explicit PosixSerialPlatform(LinuxFolders folders) : m_folders(std::move(folders)) {}

    std::unique_ptr<SerialDevice> OpenExclusive(const std::string& path,
                                                OpenFailure* why) override {
        if (std::string refusal = TerminalRefusal(path, m_folders); !refusal.empty()) {
            if (why != nullptr) {
                *why = {EPERM, std::move(refusal), {}};
            }
            return nullptr;
        }
        int error = 0;
        const int fd = OpenExclusiveFd(path, error);
        if (fd < 0) {
            if (why != nullptr) {
                *why = FailureOf(error, path, m_folders);
            }
            return nullptr;
        }
        return std::make_unique<PosixSerialDevice>(fd);
    }

    void SleepAboutOneMs() override {
        struct timespec one_ms {
            0, 1000000
        };
        while (::nanosleep(&one_ms, &one_ms) != 0 && errno == EINTR) {
        }
    }

    std::string DevicePath(const std::string& name) const override {
        return name.find('/') != std::string::npos ? name : (m_folders.dev / name).string();
    }

    // Opening a tty raises DTR and RTS, which resets boards on other ports: the candidates
    // and their state are read from the system's tables instead.
    std::vector<std::string> PortCandidates() const override { return PresentPorts(m_folders); }

    bool PortIsFree(const std::string& name) override {
        return DeviceIsFree(DevicePath(name), m_folders);
    }

private:
    LinuxFolders m_folders;
};

}  // namespace

std::unique_ptr<SerialPlatform> MakeLinuxSerialPlatform(LinuxFolders folders) {
    return std::make_unique<PosixSerialPlatform>(std::move(folders));
}

std::unique_ptr<SerialPlatform> MakeNativeSerialPlatform() {
    return MakeLinuxSerialPlatform({});
}

}  // namespace serial

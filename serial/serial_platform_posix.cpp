#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "serial/serial_platform.h"
#include "serial/termios2_linux.h"

namespace serial {

namespace {

class PosixSerialDevice final : public SerialDevice {
public:
    explicit PosixSerialDevice(int fd) : m_fd(fd) {}
    // Exclusive mode outlives our descriptor while anyone else keeps the terminal open (a
    // pseudo-terminal's owner does), and would lock out the next open; lift it first.
    ~PosixSerialDevice() override {
        (void)::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    bool ApplyLineSettings(std::int32_t baud) override {
        if (!termios2::SetRawLine(m_fd, baud)) {
            return false;
        }
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

    std::size_t Write(const std::uint8_t* src, std::size_t count) override {
        std::size_t written = 0;
        while (written < count) {
            const ssize_t put = ::write(m_fd, src + written, count - written);
            if (put > 0) {
                written += static_cast<std::size_t>(put);
            } else if (put < 0 && errno == EINTR) {
                continue;
            } else {
                break;  // the device went away; the caller sees the short count
            }
        }
        WaitUntilSent();
        return written;
    }

private:
    // A write is done when the bytes are on the wire, not when the driver has queued them:
    // the reply's idle time-out only starts then, even at 2,400 bit/s.
    void WaitUntilSent() {
        while (::tcdrain(m_fd) != 0 && errno == EINTR) {
        }
    }

    // Both handshake lines inactive. A pseudo-terminal has no modem lines and refuses.
    void DropModemLines() {
        int lines = TIOCM_DTR | TIOCM_RTS;
        (void)::ioctl(m_fd, TIOCMBIC, &lines);
    }

    int m_fd;
};

// Opening is non-blocking so that a modem line cannot hold it up; the lock and TIOCEXCL
// make the port ours alone. TIOCEXCL does not stop root, and neither stops a second open
// from this process, but the lock does.
int OpenExclusiveFd(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const bool owned = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0;
    const int flags = ::fcntl(fd, F_GETFL);
    if (!owned || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class PosixSerialPlatform final : public SerialPlatform {
public:
    std::unique_ptr<SerialDevice> OpenExclusive(const std::string& path) override {
        const int fd = OpenExclusiveFd(path);
        if (fd < 0) {
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
        return name.find('/') != std::string::npos ? name : "/dev/" + name;
    }

    std::vector<std::string> PortCandidates() const override {
        std::vector<std::string> names;
        for (const char* family : {"ttyS", "ttyAMA", "ttyACM", "ttyUSB"}) {
            for (int n = 0; n <= 99; ++n) {
                names.push_back(family + std::to_string(n));
            }
        }
        return names;
    }
};

}  // namespace

std::unique_ptr<SerialPlatform> MakeNativeSerialPlatform() {
    return std::make_unique<PosixSerialPlatform>();
}

}  // namespace serial

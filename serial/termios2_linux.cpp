#include "serial/termios2_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdlib>

namespace serial::termios2 {

namespace {

// A UART divides its clock, so a driver may land near the asked speed rather than on it;
// a receiver tolerates a few percent.
constexpr double kSpeedTolerance = 0.03;

void MakeRaw(struct termios2& tio, std::int32_t baud) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK | IMAXBEL);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

bool CloseEnough(std::int32_t wanted, speed_t got) {
    return std::abs(static_cast<double>(got) - wanted) <= wanted * kSpeedTolerance;
}

}  // namespace

bool SetRawLine(int fd, std::int32_t baud) {
    if (baud <= 0) {
        return false;
    }
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return false;
    }
    MakeRaw(tio, baud);
    if (ioctl(fd, TCSETS2, &tio) != 0) {
        return false;
    }
    struct termios2 check {};
    return ioctl(fd, TCGETS2, &check) == 0 && CloseEnough(baud, check.c_ospeed);
}

std::optional<std::int32_t> OutputSpeed(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(tio.c_ospeed);
}

}  // namespace serial::termios2

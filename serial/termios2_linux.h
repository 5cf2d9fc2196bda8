#pragma once

// Line settings through Linux's termios2, which sets any speed exactly (BOTHER). Kept apart
// from <termios.h>, whose definitions clash with the kernel's <asm/termbits.h>.

#include <cstdint>
#include <optional>

namespace serial::termios2 {

// Raw 8N1 at exactly `baud`, no flow control, modem lines ignored, reads never wait.
// False when the descriptor is not a terminal or refuses the speed.
bool SetRawLine(int fd, std::int32_t baud);

// The output speed that the terminal behind `fd` is set to. On a pseudo-terminal master
// this reads the slave's settings, that is, the speed the host side chose.
std::optional<std::int32_t> OutputSpeed(int fd);

}  // namespace serial::termios2

#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace serial::win32 {

// The device control block the port is set to for a line at `baud`: a zeroed DCB (every
// flag off, so no flow control and DTR and RTS held inactive), 8 data bits, no parity,
// one stop bit, the speed exactly as asked, custom speeds included. Nothing for a speed
// of zero or below: some drivers (Wine's among them) accept such a DCB and report
// success, and a negative speed would wrap to a huge DWORD.
std::optional<DCB> LineSettingsFor(std::int32_t baud);

}  // namespace serial::win32

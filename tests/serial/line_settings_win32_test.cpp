#include <gtest/gtest.h>

#include "serial/line_settings_win32.h"

// Wine's serial driver falls back to 38400 bit/s for speeds Linux has no constant for, so
// the custom speeds are checked in the settings the port is given.
namespace {

TEST(LineSettingsWin32Test, EverySpeedIsAskedForExactlyOnAPlainEightBitLine) {
    for (const std::int32_t baud : {2400, 9600, 115200, 921600, 2016806, 3037974, 5000000}) {
        const std::optional<DCB> dcb = serial::win32::LineSettingsFor(baud);
        ASSERT_TRUE(dcb.has_value()) << baud;
        EXPECT_EQ(dcb->BaudRate, static_cast<DWORD>(baud));
        EXPECT_EQ(dcb->DCBlength, sizeof(DCB));
        EXPECT_TRUE(dcb->ByteSize == 8 && dcb->Parity == NOPARITY && dcb->StopBits == ONESTOPBIT);
        // No flow control of any kind, and DTR and RTS held inactive.
        EXPECT_TRUE(!dcb->fOutxCtsFlow && !dcb->fOutxDsrFlow && !dcb->fOutX && !dcb->fInX);
        EXPECT_TRUE(dcb->fDtrControl == DTR_CONTROL_DISABLE &&
                    dcb->fRtsControl == RTS_CONTROL_DISABLE);
    }
}

TEST(LineSettingsWin32Test, NoLineRunsAtZeroOrBelow) {
    EXPECT_FALSE(serial::win32::LineSettingsFor(0).has_value());
    EXPECT_FALSE(serial::win32::LineSettingsFor(-9600).has_value());
}

}  // namespace

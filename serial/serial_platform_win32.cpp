#include <windows.h>

#include <string>

#include "serial/line_settings_win32.h"
#include "serial/serial_platform.h"
#include "system/system_message.h"

namespace serial {

std::optional<DCB> win32::LineSettingsFor(std::int32_t baud) {
    static_assert(sizeof(DCB) == 28, "DCBlength must be 28");
    if (baud <= 0) {
        return std::nullopt;
    }
    DCB dcb;
    ZeroMemory(&dcb, sizeof(dcb));
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

namespace {

class Win32SerialDevice final : public SerialDevice {
public:
    explicit Win32SerialDevice(HANDLE handle) : m_handle(handle) {}
    ~Win32SerialDevice() override { CloseHandle(m_handle); }
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    bool ApplyLineSettings(std::int32_t baud) override {
        std::optional<DCB> dcb = win32::LineSettingsFor(baud);
        return dcb && SetCommState(m_handle, &*dcb) != 0;
    }

    std::optional<std::size_t> BytesWaiting() override {
        DWORD errors = 0;
        COMSTAT status;
        ZeroMemory(&status, sizeof(status));
        if (!ClearCommError(m_handle, &errors, &status)) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(status.cbInQue);
    }

    std::optional<std::size_t> Read(std::uint8_t* dst, std::size_t max) override {
        DWORD got = 0;
        if (!ReadFile(m_handle, dst, static_cast<DWORD>(max), &got, nullptr)) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(got);
    }

    // The write's deadline is the port's total write time-out; reads keep returning at once
    // with what is waiting, which is all they ever ask for.
    WriteResult Write(const std::uint8_t* src, std::size_t count,
                      std::chrono::milliseconds timeout) override {
        COMMTIMEOUTS timeouts;
        ZeroMemory(&timeouts, sizeof(timeouts));
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(timeout.count());
        SetCommTimeouts(m_handle, &timeouts);
        DWORD put = 0;
        const BOOL done = WriteFile(m_handle, src, static_cast<DWORD>(count), &put, nullptr);
        WriteResult result{static_cast<std::size_t>(put), WriteOutcome::Sent};
        if (!done) {
            result.outcome = WriteOutcome::Disconnected;  // removed device, broken handle
        } else if (result.written < count) {
            result.outcome = WriteOutcome::TimedOut;
        }
        return result;
    }

    void WaitForInput(std::chrono::microseconds) override { Sleep(1); }

    // An idle port's handle does not tell that its device went; the system tells the hub,
    // which wakes this wait, and a port that is gone no longer answers for its queue.
    bool WaitWhileIdle(Waker& waker) override {
        SerialDevice::WaitWhileIdle(waker);
        return !BytesWaiting().has_value();
    }

private:
    HANDLE m_handle;
};


// A port opened elsewhere is refused with "access denied": on Windows that means busy.
OpenFailure FailureOf(DWORD code) {
    OpenFailure failure{static_cast<int>(code), sys::SystemMessage(code), {}};
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
        failure.remedy = "another program holds the port; close it there first";
    }
    return failure;
}

// NUL, a file or a disk opens as well as a port does; only a port tells its properties.
// (GetCommState would do on Windows, but Wine refuses it for a line whose speed is
// outside the termios table.)
bool IsSerialPort(HANDLE handle) {
    COMMPROP properties;
    ZeroMemory(&properties, sizeof(properties));
    return GetFileType(handle) == FILE_TYPE_CHAR && GetCommProperties(handle, &properties) != 0;
}

class Win32SerialPlatform final : public SerialPlatform {
public:
    std::unique_ptr<SerialDevice> OpenExclusive(const std::string& path,
                                                OpenFailure* why) override {
        const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (why != nullptr) {
                *why = FailureOf(GetLastError());
            }
            return nullptr;
        }
        if (!IsSerialPort(handle)) {
            CloseHandle(handle);
            if (why != nullptr) {
                *why = {ERROR_INVALID_FUNCTION, "not a serial port", {}};
            }
            return nullptr;
        }
        return std::make_unique<Win32SerialDevice>(handle);
    }

    void SleepAboutOneMs() override { Sleep(1); }

    std::string DevicePath(const std::string& name) const override { return "\\\\.\\" + name; }

    std::string PortNamePrefix() const override { return "COM"; }

    bool NamesTellUsbPorts() const override { return false; }

    std::vector<std::string> PortCandidates() const override {
        std::vector<std::string> names;
        for (int n = 0; n <= 99; ++n) {
            names.push_back("COM" + std::to_string(n));
        }
        return names;
    }
};

}  // namespace

std::unique_ptr<SerialPlatform> MakeNativeSerialPlatform() {
    return std::make_unique<Win32SerialPlatform>();
}

}  // namespace serial

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "cli/hub_channel.h"
#include "system/system_message.h"

namespace cli {

namespace {

// One overlapped transfer at a time, each with its deadline.
class PipeChannel final : public HubChannel {
public:
    explicit PipeChannel(HANDLE pipe)
        : m_pipe(pipe), m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~PipeChannel() override {
        CloseHandle(m_event);
        CloseHandle(m_pipe);
    }
    PipeChannel(const PipeChannel&) = delete;
    PipeChannel& operator=(const PipeChannel&) = delete;

    std::optional<std::size_t> WriteSome(const char* data, std::size_t count,
                                         std::chrono::milliseconds left) override {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 1 << 20));
        const std::optional<DWORD> put = Transfer(
            [&](OVERLAPPED* overlapped) {
                return WriteFile(m_pipe, data, chunk, nullptr, overlapped);
            },
            left);
        if (!put || *put == 0) {
            return std::nullopt;
        }
        return *put;
    }

    std::optional<std::size_t> Read(char* buffer, std::size_t room,
                                    std::chrono::milliseconds timeout) override {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(room, 1 << 20));
        const std::optional<DWORD> got = Transfer(
            [&](OVERLAPPED* overlapped) {
                return ReadFile(m_pipe, buffer, wanted, nullptr, overlapped);
            },
            timeout);
        if (!got) {
            return m_broken ? std::optional<std::size_t>(0) : std::nullopt;
        }
        return *got;
    }

private:
    // The bytes moved, or nullopt when the deadline passed or the pipe failed. A transfer
    // that finishes while being cancelled still counts: no byte that came is lost.
    template <class Start>
    std::optional<DWORD> Transfer(Start start, std::chrono::milliseconds timeout) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_event;
        ResetEvent(m_event);
        if (!start(&overlapped) && GetLastError() != ERROR_IO_PENDING) {
            m_broken = GetLastError() == ERROR_BROKEN_PIPE;
            return std::nullopt;
        }
        const DWORD wait = static_cast<DWORD>(std::max<std::int64_t>(timeout.count(), 0));
        if (WaitForSingleObject(m_event, wait) != WAIT_OBJECT_0) {
            CancelIoEx(m_pipe, &overlapped);
        }
        DWORD moved = 0;
        if (!GetOverlappedResult(m_pipe, &overlapped, &moved, TRUE)) {
            m_broken = GetLastError() == ERROR_BROKEN_PIPE;
            return std::nullopt;
        }
        return moved;
    }

    HANDLE m_pipe;
    HANDLE m_event;
    bool m_broken = false;  // the hub closed its end
};

}  // namespace

// A hub that serves others at the moment is waited for a little; none at all is no hub.
std::unique_ptr<HubChannel> ConnectHub(const std::string& path, std::string* why) {
    constexpr DWORD kBusyWaitMs = 2000;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Identification only: a program squatting on the name cannot act as this user.
        const HANDLE pipe = CreateFileA(
            path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            return std::make_unique<PipeChannel>(pipe);
        }
        const DWORD code = GetLastError();
        if (code != ERROR_PIPE_BUSY || attempt == 1 || !WaitNamedPipeA(path.c_str(), kBusyWaitMs)) {
            if (why)
                *why = sys::SystemMessage(code);
            return nullptr;
        }
    }
    return nullptr;
}

std::vector<std::string> HubCandidates() {
    return {R"(\\.\pipe\lcdhub)"};
}

}  // namespace cli

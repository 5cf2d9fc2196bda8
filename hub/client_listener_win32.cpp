// Asio first: it brings in the sockets' header before windows.h can bring the old one.
#include "hub/client_listener.h"

#include <windows.h>
#include <sddl.h>

#include <stdexcept>

#include "system/system_message.h"

namespace hub {

namespace {

using Handle = asio::windows::stream_handle;

// A pipe reads as broken, closing or no longer connected once its client has gone.
struct ClientGoneEndsInput {
    bool operator()(std::error_code error) const {
        if (error.category() != asio::error::get_system_category()) {
            return false;
        }
        const int code = error.value();
        return code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA ||
               code == ERROR_PIPE_NOT_CONNECTED;
    }
};
using PipeStream = AsioClientStream<Handle, ClientGoneEndsInput>;

constexpr const char* kPipePrefix = R"(\\.\pipe\)";
constexpr DWORD kPipeBuffer = 64 * 1024;

std::runtime_error Refusal(const std::string& name, const std::string& why) {
    return std::runtime_error("cannot listen at " + name + ": " + why);
}

std::string LastError() {
    return sys::SystemMessage(GetLastError());
}

// "Only this user and SYSTEM": the default would let Everyone and Anonymous read too.
std::wstring OwnerOnlyDescriptor() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        throw std::runtime_error("cannot read this process's user: " + LastError());
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    const bool read = GetTokenInformation(token, TokenUser, buffer.data(), size, &size) != 0;
    CloseHandle(token);
    LPWSTR sid = nullptr;
    if (!read ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        throw std::runtime_error("cannot read this process's user: " + LastError());
    }
    std::wstring descriptor = std::wstring(L"D:P(A;;GA;;;SY)(A;;GA;;;") + sid + L")";
    LocalFree(sid);
    return descriptor;
}

// Whether a hub serves this pipe already, connected or waiting. Asked before the first
// instance is made as well as refused by it, since not every system refuses it.
bool Answers(const std::string& name) {
    if (WaitNamedPipeA(name.c_str(), 1)) {
        return true;
    }
    return GetLastError() == ERROR_SEM_TIMEOUT;  // every instance busy: still someone there
}

// Instances of one pipe, one waiting for a client at a time; the next is made as soon as the
// server asks for it after the last one connected.
class PipeListener final : public ClientListener {
public:
    PipeListener(asio::io_context& io, const std::string& name) : m_io(io), m_name(name) {
        if (Answers(name)) {
            throw Refusal(name, "another lcdhub answers there");
        }
        const std::wstring descriptor = OwnerOnlyDescriptor();
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
                descriptor.c_str(), SDDL_REVISION_1, &m_descriptor, nullptr)) {
            throw Refusal(name, LastError());
        }
        m_first = FirstInstance();  // taken now, so that a second hub is refused at once
    }

    ~PipeListener() override {
        Close();
        LocalFree(m_descriptor);
    }

    void Accept(Arrived arrived) override {
        HANDLE pipe = m_first != INVALID_HANDLE_VALUE ? std::exchange(m_first, INVALID_HANDLE_VALUE)
                                                      : CreateInstance(0);
        if (pipe == INVALID_HANDLE_VALUE) {
            const std::error_code error(static_cast<int>(GetLastError()),
                                        asio::error::get_system_category());
            asio::post(m_io, [arrived = std::move(arrived), error] { arrived(error, nullptr); });
            return;
        }
        auto waiting = std::make_shared<Handle>(m_io, pipe);
        m_waiting = waiting;
        asio::windows::overlapped_ptr overlapped(
            m_io, [waiting, arrived = std::move(arrived)](std::error_code error, std::size_t) {
                if (error) {
                    arrived(error, nullptr);
                    return;
                }
                arrived(error, std::make_unique<PipeStream>(std::move(*waiting)));
            });
        const BOOL connected = ConnectNamedPipe(pipe, overlapped.get());
        const DWORD last = GetLastError();
        if (connected || last == ERROR_IO_PENDING) {
            overlapped.release();  // its completion comes through the io_context
        } else if (last == ERROR_PIPE_CONNECTED || last == ERROR_NO_DATA) {
            // Came between the instance and the wait, and may have gone again: its first
            // read tells.
            overlapped.complete({}, 0);
        } else {
            overlapped.complete(std::error_code(static_cast<int>(last),
                                                asio::error::get_system_category()),
                                0);
        }
    }

    void Close() override {
        if (m_first != INVALID_HANDLE_VALUE) {
            CloseHandle(std::exchange(m_first, INVALID_HANDLE_VALUE));
        }
        if (const auto waiting = m_waiting.lock()) {
            std::error_code ignored;
            waiting->close(ignored);  // its wait ends as aborted
        }
    }

private:
    HANDLE FirstInstance() {
        const HANDLE pipe = CreateInstance(FILE_FLAG_FIRST_PIPE_INSTANCE);
        if (pipe == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            throw Refusal(m_name, code == ERROR_ACCESS_DENIED ? "another program holds that pipe"
                                                              : sys::SystemMessage(code));
        }
        return pipe;
    }

    HANDLE CreateInstance(DWORD first) {
        SECURITY_ATTRIBUTES attributes{sizeof attributes, m_descriptor, FALSE};
        return CreateNamedPipeA(m_name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                                    PIPE_REJECT_REMOTE_CLIENTS,
                                PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, 0, &attributes);
    }

    asio::io_context& m_io;
    std::string m_name;
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    HANDLE m_first = INVALID_HANDLE_VALUE;
    std::weak_ptr<Handle> m_waiting;
};

}  // namespace

std::string DefaultHubAddress() {
    return std::string(kPipePrefix) + "lcdhub";
}

const char* ClientAddressSynopsis() {
    return "[--socket NAME]";
}

const char* ClientAddressUsage() {
    return "  --socket NAME         the pipe clients connect to (default \\\\.\\pipe\\lcdhub)\n";
}

std::unique_ptr<ClientListener> ListenForClients(asio::io_context& io, const std::string& address,
                                                 const std::string& group) {
    if (!group.empty()) {
        throw std::runtime_error(
            "--socket-group is for a POSIX socket; on Windows the pipe is open to this user and "
            "SYSTEM");
    }
    if (address.rfind(kPipePrefix, 0) != 0 || address.size() == std::string(kPipePrefix).size()) {
        throw Refusal(address, std::string("a pipe's name begins with ") + kPipePrefix);
    }
    return std::make_unique<PipeListener>(io, address);
}

}  // namespace hub

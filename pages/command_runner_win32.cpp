#include "pages/command_runner.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <utility>

#include "system/system_message.h"

namespace pages {

namespace {

using Clock = std::chrono::steady_clock;

// Closes the handle however the run ends.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { Close(); }
    Handle(Handle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    void Close() {
        if (m_handle) {
            CloseHandle(m_handle);
            m_handle = nullptr;
        }
    }
    HANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    HANDLE m_handle = nullptr;
};

std::wstring WideOf(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(std::max(wide, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), wide);
    return text;
}

// One argument as the C runtime's CommandLineToArgvW reads it back: quoted when it is empty or
// holds white space or a quote; backslashes doubled only before a quote, the closing one too.
void AppendQuoted(const std::wstring& argument, std::wstring& line) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring CommandLine(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& argument : argv) {
        if (!line.empty()) {
            line += L' ';
        }
        AppendQuoted(WideOf(argument), line);
    }
    return line;
}

// Small codes as numbers; the system's own (a crash's 0xC0000005) as it writes them.
std::string ExitText(DWORD code) {
    if (code < 0x80000000u) {
        return "exit status " + std::to_string(code);
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    return std::string("exit status ") + hex;
}

DWORD MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, 60 * 60 * 1000));
}

// The child's side of the three standard handles: nothing in, its output through a pipe whose
// our end reads overlapped (so that a read can stop at the deadline), its errors to nothing.
struct Pipes {
    Handle ours;
    Handle input;
    Handle output;
    Handle errors;
};

std::optional<Pipes> OpenPipes(std::string& error) {
    static std::atomic<unsigned> s_serial{0};
    const std::wstring name = L"\\\\.\\pipe\\lcdpanel-command-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++s_serial);
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Pipes pipes;
    pipes.ours = Handle(CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 64 * 1024, 0, nullptr));
    if (pipes.ours) {
        pipes.output = Handle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;
    pipes.input =
        Handle(CreateFileW(L"NUL", GENERIC_READ, kShared, &inherited, OPEN_EXISTING, 0, nullptr));
    pipes.errors =
        Handle(CreateFileW(L"NUL", GENERIC_WRITE, kShared, &inherited, OPEN_EXISTING, 0, nullptr));
    if (!pipes.ours || !pipes.output || !pipes.input || !pipes.errors) {
        error = sys::SystemMessage(GetLastError());
        return std::nullopt;
    }
    return pipes;
}

// A job that ends everything in it when its handle closes: the child and all it starts.
Handle KillingJob() {
    Handle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits)) {
        return Handle();
    }
    return job;
}

// Only the three standard handles are inherited, so that a command run at the same time on
// another thread does not hold this one's pipe open.
class InheritedHandles {
public:
    explicit InheritedHandles(const Pipes& pipes)
        : m_handles{pipes.input.get(), pipes.output.get(), pipes.errors.get()} {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_storage.resize(size);
        m_list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.data());
        m_ready = InitializeProcThreadAttributeList(m_list, 1, 0, &size) &&
                  UpdateProcThreadAttribute(m_list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles,
                                            sizeof m_handles, nullptr, nullptr);
    }
    ~InheritedHandles() {
        if (m_list) {
            DeleteProcThreadAttributeList(m_list);
        }
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return m_ready ? m_list : nullptr; }

private:
    HANDLE m_handles[3];
    std::vector<unsigned char> m_storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
    bool m_ready = false;
};

// Starts the child suspended and puts it in the job before it runs, so that nothing it
// starts escapes the job; its process handle, or the system's reason.
std::optional<Handle> Start(const std::vector<std::string>& argv, const Pipes& pipes,
                            const Handle& job, std::string& error) {
    const InheritedHandles inherited(pipes);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = pipes.input.get();
    startup.StartupInfo.hStdOutput = pipes.output.get();
    startup.StartupInfo.hStdError = pipes.errors.get();
    startup.lpAttributeList = inherited.list();
    std::wstring line = CommandLine(argv);
    PROCESS_INFORMATION process{};
    const DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW |
                        (startup.lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                        &startup.StartupInfo, &process)) {
        error = sys::SystemMessage(GetLastError());
        return std::nullopt;
    }
    Handle child(process.hProcess);
    const Handle thread(process.hThread);
    if (!AssignProcessToJobObject(job.get(), child.get())) {
        error = sys::SystemMessage(GetLastError());
        TerminateProcess(child.get(), 1);
        return std::nullopt;
    }
    ResumeThread(thread.get());
    return child;
}

enum class Read { Ended, Cut, TimedOut };

// Reads our end until the child's side is closed by all that hold it, the limit or the
// deadline; an unfinished read is cancelled before its buffer goes.
Read ReadOutput(const Handle& pipe, std::size_t limit, Clock::time_point deadline,
                std::string& output) {
    const Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    char buffer[4096];
    while (output.size() < limit) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.get();
        const DWORD wanted = static_cast<DWORD>(std::min(sizeof buffer, limit - output.size()));
        if (!ReadFile(pipe.get(), buffer, wanted, nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            return Read::Ended;  // broken: every writer has closed it
        }
        if (WaitForSingleObject(event.get(), MillisecondsLeft(deadline)) != WAIT_OBJECT_0) {
            CancelIoEx(pipe.get(), &overlapped);
            DWORD ignored = 0;
            GetOverlappedResult(pipe.get(), &overlapped, &ignored, TRUE);
            return Read::TimedOut;
        }
        DWORD got = 0;
        if (!GetOverlappedResult(pipe.get(), &overlapped, &got, FALSE)) {
            return Read::Ended;
        }
        output.append(buffer, got);
    }
    return Read::Cut;
}

// What the run came to once the output is read.
void Judge(Read read, const Handle& child, Clock::time_point deadline,
           std::chrono::milliseconds timeout, CommandOutput& result) {
    // At the limit the rest is not wanted: a child still writing is ended, as a closed pipe
    // ends one on POSIX, and that is no failure of its own.
    const DWORD wait = read == Read::Cut ? 0 : MillisecondsLeft(deadline);
    const bool ended =
        read != Read::TimedOut && WaitForSingleObject(child.get(), wait) == WAIT_OBJECT_0;
    DWORD code = 0;
    if (!ended) {
        result.ok = read == Read::Cut;
        result.error = result.ok ? std::string() : TimeoutText(timeout);
    } else if (!GetExitCodeProcess(child.get(), &code)) {
        result.error = "cannot read its exit status: " + sys::SystemMessage(GetLastError());
    } else {
        result.ok = code == 0;
        result.error = result.ok ? std::string() : ExitText(code);
    }
}

}  // namespace

// Whatever the child leaves running when it ends, or when it is given up on, ends with the job.
CommandOutput RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         std::size_t limit) {
    CommandOutput result;
    if (argv.empty()) {
        result.error = "no command";
        return result;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    std::string reason;
    std::optional<Pipes> pipes = OpenPipes(reason);
    const Handle job = KillingJob();
    if (pipes && !job) {
        reason = sys::SystemMessage(GetLastError());
    }
    const std::optional<Handle> child =
        pipes && job ? Start(argv, *pipes, job, reason) : std::nullopt;
    if (!child) {
        result.error = "cannot run " + argv.front() + ": " + reason;
        return result;
    }
    pipes->output.Close();  // the child's own copy is the pipe's only writer now
    const Read read = ReadOutput(pipes->ours, limit, deadline, result.output);
    Judge(read, *child, deadline, timeout, result);
    TerminateJobObject(job.get(), 1);
    return result;
}

}  // namespace pages

#include <windows.h>
// After windows.h, whose types it uses.
#include <dbt.h>

#include <future>
#include <mutex>
#include <thread>

#include "hub/system_notices.h"

namespace hub {

namespace {

// How long the system is kept waiting while the frame on the line finishes and the
// screen is cleared; it ends the process about then anyway.
constexpr DWORD kGraceMs = 5000;

}  // namespace

// A console's events come on a thread of the system's; a session's end and a port's arrival
// or removal come to top-level windows, so the hub keeps a hidden one. A session's end
// ends the process once its handler returns, so the handler waits for the hub.
struct SystemNotices::Watch {
    std::function<void()> stop;
    std::function<void()> ports_changed;
    std::once_flag once;
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread window_thread;
    DWORD window_thread_id = 0;

    void Request() { std::call_once(once, stop); }
    void AwaitFinish() const { WaitForSingleObject(finished, kGraceMs); }
};

namespace {

// The console's handler is a plain function; there is one watch in a process.
SystemNotices::Watch* g_watch = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    SystemNotices::Watch* watch = g_watch;
    if (watch == nullptr) {
        return FALSE;
    }
    watch->Request();
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        watch->AwaitFinish();  // a closed console, a logoff, a shutdown
    }
    return TRUE;
}

// Sent to every top-level window, unasked, when a COM port comes or goes.
bool IsPortChange(WPARAM event, LPARAM details) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) {
        return false;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(details);
    return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_PORT;
}

LRESULT CALLBACK OnWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    SystemNotices::Watch* watch = g_watch;
    switch (message) {
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wparam && watch != nullptr) {
                watch->Request();
                watch->AwaitFinish();
            }
            return 0;
        case WM_CLOSE:  // taskkill without /f
            if (watch != nullptr) {
                watch->Request();
            }
            return 0;
        case WM_DEVICECHANGE:
            if (watch != nullptr && IsPortChange(wparam, lparam)) {
                watch->ports_changed();
            }
            return TRUE;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

void ServeHiddenWindow() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = OnWindowMessage;
    window_class.hInstance = instance;
    window_class.lpszClassName = L"lcdhub";
    RegisterClassW(&window_class);
    // Top-level, never shown: a message-only window hears no session's end.
    HWND window = CreateWindowExW(0, L"lcdhub", L"lcdhub", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    MSG message;
    while (window != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    if (window != nullptr) {
        DestroyWindow(window);
    }
}

}  // namespace

SystemNotices::SystemNotices(std::function<void()> stop, std::function<void()> ports_changed)
    : m_watch(std::make_unique<Watch>()) {
    m_watch->stop = std::move(stop);
    m_watch->ports_changed = std::move(ports_changed);
    g_watch = m_watch.get();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    std::promise<DWORD> started;
    std::future<DWORD> thread_id = started.get_future();
    m_watch->window_thread = std::thread([&started] {
        MSG message;
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
        started.set_value(GetCurrentThreadId());
        ServeHiddenWindow();
    });
    m_watch->window_thread_id = thread_id.get();
}

// The watch itself stays: a console's handler may still be returning on its own thread.
SystemNotices::~SystemNotices() {
    SetEvent(m_watch->finished);
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    PostThreadMessageW(m_watch->window_thread_id, WM_QUIT, 0, 0);
    m_watch->window_thread.join();
    (void)m_watch.release();
}

const char* SystemNotices::StopUsage() {
    return "Stops on Ctrl-C, on its console's closing, at the session's end or on taskkill\n"
           "(without /f), once the frame on the line is finished.\n";
}

}  // namespace hub

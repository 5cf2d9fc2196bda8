// window_probe: what the Wine tests ask of the running Win32 panel, which xdotool cannot
// see: where a control is on the screen, the log's text (WM_GETTEXT), a message box's
// text. Finds the panel by its window class.
//   window_probe center ID        screen x and y of the control's centre
//   window_probe log              Memo1's text, as UTF-8
//   window_probe box SECONDS      waits for a message box, prints its text, closes it
//   window_probe visible ID       1 when the control is shown, else 0
//   window_probe next-tab ID      the control Tab moves on to from this one
//   window_probe put-dib          copies a 320 x 200 picture to the clipboard as a bottom-up
//                                 CF_DIB: white in the top 50 rows and the left 40 columns,
//                                 black elsewhere (reference_screens draws the same)
//   window_probe close            asks the window to close, as its close box does
//   window_probe port-gone NAME   tells every window that COM port NAME was removed, as
//                                 Windows does when an adapter is pulled out
#include <windows.h>
// After windows.h, whose types it uses.
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/win32/control_ids.h"
#include "app/win32/wide_text.h"

namespace {

HWND Panel() {
    return FindWindowW(win32ui::ids::kWindowClass, nullptr);
}

std::wstring TextOf(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

struct BoxSearch {
    DWORD process;
    HWND found;
};

// A message box is a top-level dialog of the panel's process.
HWND FindMessageBox(DWORD process) {
    BoxSearch search = {process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<BoxSearch*>(data);
            wchar_t type[16] = {};
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            GetClassNameW(window, type, 16);
            if (owner == search->process && std::wstring(type) == L"#32770" &&
                IsWindowVisible(window)) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool PutDib() {
    constexpr int kWidth = 320, kHeight = 200, kStride = (kWidth * 3 + 3) / 4 * 4;
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + kStride * kHeight);
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
    *header = {};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = kWidth;
    header->biHeight = kHeight;  // bottom row first
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biCompression = BI_RGB;
    auto* pixels = reinterpret_cast<unsigned char*>(header + 1);
    for (int y = 0; y < kHeight; ++y) {
        unsigned char* row = pixels + (kHeight - 1 - y) * kStride;
        for (int x = 0; x < kWidth * 3; ++x) row[x] = (y < 50 || x < 40 * 3) ? 255 : 0;
    }
    GlobalUnlock(memory);
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    const bool put = SetClipboardData(CF_DIB, memory) != nullptr;
    CloseClipboard();
    return put;
}

int Fail(const char* what) {
    std::fprintf(stderr, "window_probe: %s\n", what);
    return 1;
}

bool BroadcastPortGone(const char* name) {
    struct {
        DEV_BROADCAST_PORT_A port;
        char room[16];
    } removed{};
    removed.port.dbcp_size = sizeof(removed);
    removed.port.dbcp_devicetype = DBT_DEVTYP_PORT;
    lstrcpynA(removed.port.dbcp_name, name, sizeof(removed.room));
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                               reinterpret_cast<LPARAM>(&removed), SMTO_ABORTIFHUNG, 5000,
                               &ignored) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Fail(
            "usage: window_probe center ID | log | box SECONDS | visible ID | next-tab ID | "
            "put-dib | close | port-gone NAME");
    }
    if (std::string(argv[1]) == "put-dib") {
        return PutDib() ? 0 : Fail("cannot put a bitmap on the clipboard");
    }
    if (std::string(argv[1]) == "port-gone" && argc == 3) {
        return BroadcastPortGone(argv[2]) ? 0 : Fail("cannot tell the windows");
    }
    const HWND panel = Panel();
    if (panel == nullptr) {
        return Fail("no panel window");
    }
    const std::string command = argv[1];
    if (command == "log") {
        std::fputs(win32ui::Narrow(TextOf(GetDlgItem(panel, win32ui::ids::Memo1))).c_str(), stdout);
        return 0;
    }
    if (command == "center" && argc == 3) {
        RECT bounds;
        if (!GetWindowRect(GetDlgItem(panel, std::atoi(argv[2])), &bounds)) {
            return Fail("no such control");
        }
        std::printf("%ld %ld\n", (bounds.left + bounds.right) / 2,
                    (bounds.top + bounds.bottom) / 2);
        return 0;
    }
    if (command == "box" && argc == 3) {
        DWORD process = 0;
        GetWindowThreadProcessId(panel, &process);
        const DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[2]) * 1000);
        HWND box = nullptr;
        while ((box = FindMessageBox(process)) == nullptr && GetTickCount() < deadline) {
            Sleep(50);
        }
        if (box == nullptr) {
            return Fail("no message box");
        }
        std::puts(win32ui::Narrow(TextOf(GetDlgItem(box, 0xFFFF))).c_str());
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (command == "visible" && argc == 3) {
        std::printf("%d\n", IsWindowVisible(GetDlgItem(panel, std::atoi(argv[2]))) ? 1 : 0);
        return 0;
    }
    if (command == "next-tab" && argc == 3) {
        const HWND next = GetNextDlgTabItem(panel, GetDlgItem(panel, std::atoi(argv[2])), FALSE);
        std::printf("%d\n", GetDlgCtrlID(next));
        return 0;
    }
    if (command == "close") {
        PostMessageW(panel, WM_CLOSE, 0, 0);
        return 0;
    }
    return Fail("unknown command");
}

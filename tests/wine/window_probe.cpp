// window_probe: what the Wine tests ask of the running Win32 panel, which xdotool cannot
// see. Finds the panel by its window class and its controls by their numbered names, as
// the window's declaration gives them; a radio group's item i is GROUP.i (RadioGroup2.7).
//   window_probe center NAME      screen x and y of the control's centre
//   window_probe log              the log's text, as UTF-8
//   window_probe box SECONDS      waits for a message box, prints its text, closes it
//   window_probe next-tab NAME    the name of the control Tab moves on to from this one
//   window_probe check-window     walks the declaration against the window as it starts:
//                                 each control's place, caption, items, state and the tab
//                                 order; one line per mismatch, status 1 if any
//   window_probe put-dib          copies a 320 x 200 picture to the clipboard as a bottom-up
//                                 CF_DIB: white in the top 50 rows and the left 40 columns,
//                                 black elsewhere (reference_screens draws the same)
//   window_probe close            asks the window to close, as its close box does
//   window_probe port-gone NAME   tells every window that COM port NAME was removed, as
//                                 Windows does when an adapter is pulled out
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/win32/wide_text.h"
#include "app/window_declaration.h"

namespace {

namespace window = panel::window;

HWND Panel() {
    return FindWindowW(win32ui::Widen(window::PanelWindow().type_name).c_str(), nullptr);
}

std::wstring TextOf(HWND control) {
    const auto length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// A control's identifier from its numbered name, or a radio item's from GROUP.INDEX.
int IdNamed(const std::string& name) {
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) {
        return window::ControlId(name);
    }
    return window::ControlId(name.substr(0, dot)) + 1 + std::stoi(name.substr(dot + 1));
}

std::string ItemName(const window::Control& group, int item) {
    return std::string(group.name).append(".").append(std::to_string(item));
}

std::string NameOf(int id) {
    for (const window::Control& control : window::PanelWindow().controls) {
        const int first = window::ControlId(control.name);
        const int item = id - first - 1;
        if (id == first) {
            return std::string(control.name);
        }
        if (control.kind == window::Kind::RadioGroup && item >= 0 &&
            item < static_cast<int>(control.items.size())) {
            return ItemName(control, item);
        }
    }
    return std::string("no control (").append(std::to_string(id)).append(")");
}

HWND ControlNamed(HWND panel, const std::string& name) {
    const HWND control = GetDlgItem(panel, IdNamed(name));
    if (control == nullptr) {
        throw std::out_of_range(std::string("the window shows no ").append(name));
    }
    return control;
}

// --- check-window ---------------------------------------------------------------------------

class WindowCheck {
public:
    explicit WindowCheck(HWND panel) : m_panel(panel) {}

    int Run() {
        for (const window::Control& control : window::PanelWindow().controls) {
            const HWND shown = GetDlgItem(m_panel, window::ControlId(control.name));
            if (shown == nullptr) {
                Mismatch(control.name, "missing");
                continue;
            }
            CheckPlace(control, shown);
            CheckState(control.name, control, shown);
            CheckCaption(control, shown);
            CheckItems(control, shown);
            CheckSlider(control, shown);
        }
        CheckTabOrder();
        return m_mismatches == 0 ? 0 : 1;
    }

private:
    void Mismatch(std::string_view name, const std::string& what) {
        std::printf("%.*s: %s\n", static_cast<int>(name.size()), name.data(), what.c_str());
        ++m_mismatches;
    }

    template <typename Value>
    void Expect(std::string_view name, const char* what, Value shown, Value declared) {
        if (shown != declared) {
            Mismatch(name, std::string(what)
                               .append(" ")
                               .append(std::to_string(shown))
                               .append(", declared ")
                               .append(std::to_string(declared)));
        }
    }

    void ExpectText(std::string_view name, const char* what, HWND control,
                    std::string_view declared) {
        const std::string shown = win32ui::Narrow(TextOf(control));
        if (shown != declared) {
            Mismatch(name, std::string(what)
                               .append(" \"")
                               .append(shown)
                               .append("\", declared \"")
                               .append(declared)
                               .append("\""));
        }
    }

    // A drop-down's window is its field; the list below it is not counted.
    void CheckPlace(const window::Control& control, HWND shown) {
        RECT bounds;
        GetWindowRect(shown, &bounds);
        MapWindowPoints(nullptr, m_panel, reinterpret_cast<POINT*>(&bounds), 2);
        const window::Box box = window::WindowBox(control);
        Expect(control.name, "left", static_cast<int>(bounds.left), box.left);
        Expect(control.name, "top", static_cast<int>(bounds.top), box.top);
        Expect(control.name, "width", static_cast<int>(bounds.right - bounds.left), box.width);
        Expect(control.name, "height", static_cast<int>(bounds.bottom - bounds.top), box.height);
    }

    void CheckState(std::string_view name, const window::Control& control, HWND shown) {
        Expect(name, "enabled", IsWindowEnabled(shown) != FALSE, control.enabled);
        Expect(name, "visible", IsWindowVisible(shown) != FALSE, control.visible);
        if (control.kind == window::Kind::CheckBox) {
            Expect(name, "checked", SendMessageW(shown, BM_GETCHECK, 0, 0) == BST_CHECKED,
                   control.checked);
        }
    }

    // A drop-down's text is its chosen item's, or the panel's.
    void CheckCaption(const window::Control& control, HWND shown) {
        if (control.kind != window::Kind::DropDown) {
            ExpectText(control.name, "caption", shown, control.caption);
        }
    }

    void CheckItems(const window::Control& control, HWND shown) {
        if (control.kind == window::Kind::DropDown) {
            CheckDropDownItems(control, shown);
        } else if (control.kind == window::Kind::RadioGroup) {
            CheckRadioItems(control);
        }
    }

    void CheckDropDownItems(const window::Control& control, HWND shown) {
        const int count = static_cast<int>(SendMessageW(shown, CB_GETCOUNT, 0, 0));
        Expect(control.name, "items", count, static_cast<int>(control.items.size()));
        for (int i = 0; i < count && i < static_cast<int>(control.items.size()); ++i) {
            std::wstring item(static_cast<std::size_t>(SendMessageW(shown, CB_GETLBTEXTLEN, i, 0)),
                              L'\0');
            SendMessageW(shown, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
            if (win32ui::Narrow(item) != control.items[static_cast<std::size_t>(i)]) {
                Mismatch(control.name, std::string("item ").append(win32ui::Narrow(item)));
            }
        }
        Expect(control.name, "selected", static_cast<int>(SendMessageW(shown, CB_GETCURSEL, 0, 0)),
               control.selected);
    }

    void CheckRadioItems(const window::Control& group) {
        const int first = window::ControlId(group.name) + 1;
        for (int i = 0; i < static_cast<int>(group.items.size()); ++i) {
            const std::string name = ItemName(group, i);
            const HWND item = GetDlgItem(m_panel, first + i);
            if (item == nullptr) {
                Mismatch(name, "missing");
                continue;
            }
            ExpectText(name, "caption", item, group.items[static_cast<std::size_t>(i)]);
            Expect(name, "enabled", IsWindowEnabled(item) != FALSE, group.enabled);
            Expect(name, "visible", IsWindowVisible(item) != FALSE, group.visible);
            Expect(name, "checked", SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED,
                   i == group.selected);
        }
    }

    void CheckSlider(const window::Control& control, HWND shown) {
        if (control.kind != window::Kind::Slider) {
            return;
        }
        const auto ask = [shown](UINT message) {
            return static_cast<int>(SendMessageW(shown, message, 0, 0));
        };
        Expect(control.name, "minimum", ask(TBM_GETRANGEMIN), control.slider.minimum);
        Expect(control.name, "maximum", ask(TBM_GETRANGEMAX), control.slider.maximum);
        Expect(control.name, "page", ask(TBM_GETPAGESIZE), control.slider.page);
        Expect(control.name, "position", ask(TBM_GETPOS), control.slider.position);
    }

    // The controls Tab stops at, in the declared order: those shown and enabled, and a radio
    // group once, at its chosen item or else its first.
    std::vector<int> TabStops() const {
        std::vector<int> stops;
        for (const window::Control& control : window::PanelWindow().controls) {
            if (!window::TakesFocus(control.kind) || !control.visible || !control.enabled) {
                continue;
            }
            const int id = window::ControlId(control.name);
            stops.push_back(control.kind == window::Kind::RadioGroup
                                ? id + 1 + std::max(control.selected, 0)
                                : id);
        }
        return stops;
    }

    void CheckTabOrder() {
        const std::vector<int> stops = TabStops();
        for (std::size_t i = 0; i < stops.size(); ++i) {
            const std::string from = NameOf(stops[i]);
            const HWND next = GetNextDlgTabItem(m_panel, GetDlgItem(m_panel, stops[i]), FALSE);
            const std::string shown = next == nullptr ? "nothing" : NameOf(GetDlgCtrlID(next));
            const std::string declared = NameOf(stops[(i + 1) % stops.size()]);
            if (shown != declared) {
                Mismatch(from, std::string("Tab moves on to ")
                                   .append(shown)
                                   .append(", declared ")
                                   .append(declared));
            }
        }
    }

    HWND m_panel;
    int m_mismatches = 0;
};

// --- message boxes, the clipboard, the ports ------------------------------------------------

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

int WaitForMessageBox(HWND panel, int seconds) {
    DWORD process = 0;
    GetWindowThreadProcessId(panel, &process);
    const DWORD deadline = GetTickCount() + static_cast<DWORD>(seconds * 1000);
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

int PrintCenter(HWND control) {
    RECT bounds;
    GetWindowRect(control, &bounds);
    std::printf("%ld %ld\n", (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    return 0;
}

int AskPanel(const std::string& command, const std::string& name, HWND panel) {
    if (command == "log") {
        const HWND log = ControlNamed(panel, std::string(window::kLog));
        std::fputs(win32ui::Narrow(TextOf(log)).c_str(), stdout);
        return 0;
    }
    if (command == "check-window") {
        return WindowCheck(panel).Run();
    }
    if (command == "close") {
        PostMessageW(panel, WM_CLOSE, 0, 0);
        return 0;
    }
    if (name.empty()) {
        return Fail("that command needs a control's name");
    }
    if (command == "center") {
        return PrintCenter(ControlNamed(panel, name));
    }
    if (command == "box") {
        return WaitForMessageBox(panel, std::atoi(name.c_str()));
    }
    if (command == "next-tab") {
        const HWND next = GetNextDlgTabItem(panel, ControlNamed(panel, name), FALSE);
        std::puts(next == nullptr ? "nothing" : NameOf(GetDlgCtrlID(next)).c_str());
        return 0;
    }
    return Fail("unknown command");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Fail(
            "usage: window_probe center NAME | log | box SECONDS | next-tab NAME | "
            "check-window | put-dib | close | port-gone PORT");
    }
    const std::string command = argv[1];
    if (command == "put-dib") {
        return PutDib() ? 0 : Fail("cannot put a bitmap on the clipboard");
    }
    if (command == "port-gone" && argc == 3) {
        return BroadcastPortGone(argv[2]) ? 0 : Fail("cannot tell the windows");
    }
    const HWND panel = Panel();
    if (panel == nullptr) {
        return Fail("no panel window");
    }
    try {
        return AskPanel(command, argc == 3 ? argv[2] : "", panel);
    } catch (const std::exception& error) {
        return Fail(error.what());
    }
}

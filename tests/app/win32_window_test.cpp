// The Win32 window's wiring, walked from the window's declaration: each declared event, done
// to its control as Windows delivers it, reaches the panel once with its handler, and the
// view reads back what the operator chose. What the panel then does is the fake view's
// tests' business.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/win32/form1.h"
#include "app/win32/wide_text.h"
#include "support/scripted_serial.h"

namespace {

namespace window = panel::window;
using namespace std::chrono_literals;

// Handles what is queued, a bounded number of messages.
void Pump() {
    MSG message;
    for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

template <typename Condition>
bool PumpUntil(Condition done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (Pump(); !done() && std::chrono::steady_clock::now() < deadline; Pump()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}

// A box the panel opens would wait for a click for ever: each is closed at once and its
// text kept, so that a box fails the test instead of hanging it.
class BoxCloser {
public:
    ~BoxCloser() {
        m_stop = true;
        m_thread.join();
    }
    std::vector<std::string> Closed() {
        std::lock_guard lock(m_mutex);
        return m_closed;
    }

private:
    static BOOL CALLBACK Close(HWND box, LPARAM self) {
        DWORD process = 0;
        GetWindowThreadProcessId(box, &process);
        wchar_t type[16] = {};
        GetClassNameW(box, type, 16);
        if (process == GetCurrentProcessId() && std::wstring_view(type) == L"#32770") {
            auto* closer = reinterpret_cast<BoxCloser*>(self);
            wchar_t text[512] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 512);  // a message box's text
            std::lock_guard lock(closer->m_mutex);
            if (closer->m_boxes.insert(box).second)
                closer->m_closed.push_back(win32ui::Narrow(text));
            PostMessageW(box, WM_CLOSE, 0, 0);
        }
        return TRUE;
    }

    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    std::set<HWND> m_boxes;
    std::vector<std::string> m_closed;
    std::thread m_thread{[this] {
        for (; !m_stop; Sleep(50)) EnumWindows(&Close, reinterpret_cast<LPARAM>(this));
    }};
};

TEST(Win32WindowTest, EveryDeclaredEventReachesThePanelOnce) {
    BoxCloser boxes;
    testing_support::ScriptedPlatform platform;  // lists no port and opens none
    platform.existing.clear();
    platform.candidates.clear();
    // The demo picture is looked for in the program's folder too: the test runs from any folder.
    win32ui::TForm1 form(GetModuleHandleW(nullptr), platform,
                         {.file = {}, .program_folder = PANEL_DEMO_DIR});
    const window::Window& declared = window::PanelWindow();
    std::vector<window::Forwarded> seen;
    bool ticks = false;  // the timer ticks on its own while the controls are walked
    form.WatchEvents([&](const window::Forwarded& event) {
        if (ticks || event.control != declared.timer)
            seen.push_back(event);
    });
    const auto expect_once = [&](std::string_view control, window::Handler handler,
                                 window::TextHandler text_handler = nullptr) {
        Pump();
        const std::vector<window::Forwarded> events = std::exchange(seen, {});
        ASSERT_EQ(events.size(), 1u) << control;
        EXPECT_EQ(events[0].control, control);
        EXPECT_TRUE(events[0].handler == handler) << control;
        EXPECT_TRUE(events[0].text_handler == text_handler) << control;
    };
    form.Show(SW_SHOWNORMAL);
    SetForegroundWindow(form.Handle());
    expect_once(declared.name, declared.on_show);
    for (const window::Control& control : declared.controls) {
        const int id = window::ControlId(control.name);
        const HWND widget = GetDlgItem(form.Handle(), id);
        if (control.on_enter != nullptr) {
            SetFocus(GetDlgItem(form.Handle(), window::ControlId(window::kLog)));
            SetFocus(widget);
            expect_once(control.name, control.on_enter);
        }
        if (control.on_typing != nullptr) {
            SendMessageW(GetWindow(widget, GW_CHILD), WM_CHAR, L'x', 1);  // to its edit field
            expect_once(control.name, nullptr, control.on_typing);
        }
        if (control.on_click == nullptr && !control.switches)
            continue;
        EnableWindow(widget, TRUE);
        if (control.kind == window::Kind::RadioGroup) {
            SendMessageW(GetDlgItem(form.Handle(), id + 1 + 1), BM_CLICK, 0, 0);  // item 1
            EXPECT_EQ(form.ChosenItem(*control.chooses), 1) << control.name;
        } else if (control.kind == window::Kind::DropDown) {
            SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(widget));
        } else {
            SendMessageW(widget, BM_CLICK, 0, 0);
        }
        if (control.switches) {
            EXPECT_EQ(form.IsChecked(*control.switches), !control.checked) << control.name;
        }
        if (control.on_click != nullptr) {
            expect_once(control.name, control.on_click);
        } else {
            Pump();
            EXPECT_TRUE(std::exchange(seen, {}).empty()) << control.name;
        }
        if (control.kind == window::Kind::RadioGroup) {  // Windows reports the chosen one too
            SendMessageW(GetDlgItem(form.Handle(), id + 1 + 1), BM_CLICK, 0, 0);
            Pump();
            EXPECT_TRUE(std::exchange(seen, {}).empty()) << control.name << " chosen again";
        }
    }
    ticks = true;
    seen.clear();
    EXPECT_TRUE(PumpUntil([&] { return !seen.empty(); }, 3s));
    expect_once(declared.timer, declared.on_timer);
    EXPECT_EQ(boxes.Closed(), std::vector<std::string>{});
}

}  // namespace

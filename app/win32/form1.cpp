#include "app/win32/form1.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/win32/wide_text.h"

namespace win32ui {

namespace {

namespace window = panel::window;

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES;
constexpr UINT_PTR kTimer = 1;
// A drop-down's height includes its list.
constexpr int kDropDownListHeight = 200;
// A radio group's items sit inside its frame, below its caption.
constexpr int kRadioInsetLeft = 8;
constexpr int kRadioInsetWidth = 10;
constexpr int kRadioCaptionHeight = 16;
constexpr int kRadioInsetBottom = 6;

COLORREF ColourOf(window::Colour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

RECT BoundsOf(window::Box box) {
    return {box.left, box.top, box.left + box.width, box.top + box.height};
}

// Shown and enabled as declared.
DWORD StateStyle(const window::Control& control) {
    return (control.visible ? WS_VISIBLE : 0) | (control.enabled ? 0 : WS_DISABLED);
}

// The drop-down's width that shows every name whole, and never narrower than the field.
int DroppedWidthFor(HWND combo, const std::vector<std::string>& names) {
    RECT field{};
    GetWindowRect(combo, &field);
    int widest = field.right - field.left;
    const HDC dc = GetDC(combo);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(combo, WM_GETFONT, 0, 0)));
    for (const std::string& name : names) {
        const std::wstring text = Widen(name);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx) + 2 * GetSystemMetrics(SM_CXEDGE) +
                                      GetSystemMetrics(SM_CXVSCROLL));
    }
    SelectObject(dc, previous);
    ReleaseDC(combo, dc);
    return widest;
}

// The layout is in pixels: the font's height is given in pixels too.
HFONT PanelFont(const window::Window& form) {
    return CreateFontW(-form.font_pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, Widen(form.font_face).c_str());
}

ATOM RegisterWindowClass(HINSTANCE instance, WNDPROC procedure, HBRUSH background,
                         const std::wstring& name) {
    WNDCLASSEXW type = {};
    type.cbSize = sizeof(type);
    type.lpfnWndProc = procedure;
    type.hInstance = instance;
    type.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    type.hIconSm = type.hIcon;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = background;
    type.lpszClassName = name.c_str();
    return RegisterClassExW(&type);
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Item i of a group of that many in its columns: the items run down each column first.
RECT RadioItemBounds(const window::Control& group, RECT frame, int i) {
    const int count = static_cast<int>(group.items.size());
    const int columns = std::max(group.columns, 1);
    const int per_column = (count + columns - 1) / columns;
    const int column_width = (frame.right - frame.left - kRadioInsetWidth) / columns;
    const int top = frame.top + kRadioCaptionHeight;
    const int row_height = (frame.bottom - kRadioInsetBottom - top) / per_column;
    const int left = frame.left + kRadioInsetLeft + (i / per_column) * column_width;
    const int row_top = top + (i % per_column) * row_height;
    return {left, row_top, left + column_width, row_top + row_height};
}

}  // namespace

TForm1::TForm1(HINSTANCE instance, serial::SerialPlatform& platform, panel::StartPicture start)
    : m_background(CreateSolidBrush(ColourOf(window::PanelWindow().background))),
      m_font(PanelFont(window::PanelWindow())) {
    const window::Window& form = window::PanelWindow();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const std::wstring type_name = Widen(form.type_name);
    RegisterWindowClass(instance, &Procedure, m_background, type_name);
    RECT frame = {0, 0, form.client.width, form.client.height};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    m_window =
        CreateWindowExW(kWindowExStyle, type_name.c_str(), Widen(form.caption).c_str(),
                        kWindowStyle, form.client.left, form.client.top, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_clipboard.SetOwner(m_window);
    // The panel starts before the controls, which report to it only once it exists.
    m_panel = std::make_unique<panel::Panel>(*this, platform, m_clipboard, std::move(start));
    CreateControls();
    SetTimer(m_window, kTimer, static_cast<UINT>(form.timer_interval_ms), nullptr);
}

TForm1::~TForm1() {
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    DeleteObject(m_font);
    DeleteObject(m_background);
}

void TForm1::Show(int how) {
    ShowWindow(m_window, how);
    UpdateWindow(m_window);
    const window::Window& form = window::PanelWindow();
    Forward(form.name, form.on_show);
}

HWND TForm1::Create(const wchar_t* type, std::string_view text, DWORD style, int id, RECT bounds) {
    const HWND control =
        CreateWindowExW(0, type, Widen(text).c_str(), WS_CHILD | style, bounds.left, bounds.top,
                        bounds.right - bounds.left, bounds.bottom - bounds.top, m_window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    return control;
}

// Every control is a child of the window itself, created in the declared tab order. Group
// boxes only draw their frame around the controls that follow them.
void TForm1::CreateControls() {
    for (const window::Control& control : window::PanelWindow().controls) {
        const int id = window::ControlId(control.name);
        m_declared[id] = &control;
        CreateControl(control, id, BoundsOf(window::WindowBox(control)));
    }
    m_image1 = m_pictures.at(window::kSourcePicture).get();
    m_image2 = m_pictures.at(window::kPreview).get();
    SetPortText(m_panel->PortPlaceholder());
}

void TForm1::CreateControl(const window::Control& control, int id, RECT bounds) {
    const DWORD state = StateStyle(control);
    switch (control.kind) {
        case window::Kind::Picture:
            return CreatePicture(control, id, bounds);
        case window::Kind::GroupBox:
            // A group of its own: the arrow keys stop at its frame.
            Create(L"BUTTON", control.caption, state | BS_GROUPBOX | WS_GROUP, id, bounds);
            return;
        case window::Kind::Label:
            Create(L"STATIC", control.caption, state | SS_LEFT, id, bounds);
            return;
        case window::Kind::DropDown:
            return CreateDropDown(control, id, bounds);
        case window::Kind::Button:
            Create(L"BUTTON", control.caption, state | WS_TABSTOP | BS_PUSHBUTTON, id, bounds);
            return;
        case window::Kind::CheckBox:
            return CreateCheckBox(control, id, bounds);
        case window::Kind::Slider:
            return CreateSlider(control, id, bounds);
        case window::Kind::RadioGroup:
            return CreateRadioGroup(control, id, bounds);
        case window::Kind::Log:
            return CreateLog(control, id, bounds);
    }
}

void TForm1::CreatePicture(const window::Control& control, int id, RECT bounds) {
    auto picture = std::make_unique<PictureControl>(m_window, id, bounds, m_background);
    picture->OnPaintError = [this](const std::string& message) { ShowException(message); };
    if (!control.visible) {
        ShowWindow(picture->Handle(), SW_HIDE);
    }
    m_pictures[control.name] = std::move(picture);
}

void TForm1::CreateDropDown(const window::Control& control, int id, RECT bounds) {
    bounds.bottom = bounds.top + kDropDownListHeight;
    const HWND combo = Create(
        L"COMBOBOX", control.caption,
        StateStyle(control) | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, id, bounds);
    for (const std::string& item : control.items) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    }
    if (control.selected >= 0) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(control.selected), 0);
    }
}

void TForm1::CreateCheckBox(const window::Control& control, int id, RECT bounds) {
    const HWND box = Create(L"BUTTON", control.caption,
                            StateStyle(control) | WS_TABSTOP | BS_AUTOCHECKBOX, id, bounds);
    SendMessageW(box, BM_SETCHECK, control.checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TForm1::CreateSlider(const window::Control& control, int id, RECT bounds) {
    const window::SliderRange& range = control.slider;
    const HWND slider =
        Create(TRACKBAR_CLASSW, control.caption,
               StateStyle(control) | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS, id, bounds);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(range.minimum, range.maximum));
    SendMessageW(slider, TBM_SETPAGESIZE, 0, range.page);
    SendMessageW(slider, TBM_SETTICFREQ, static_cast<WPARAM>(range.tick_interval), 0);
    SendMessageW(slider, TBM_SETPOS, TRUE, range.position);
}

// The log is a sunken multi-line edit without a limit to its text.
void TForm1::CreateLog(const window::Control& control, int id, RECT bounds) {
    const HWND memo = Create(L"EDIT", control.caption,
                             StateStyle(control) | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL |
                                 ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN,
                             id, bounds);
    SetWindowLongPtrW(memo, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    SetWindowPos(memo, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(memo, &MemoProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
}

// A group box with its items in columns of equal width below the caption. The chosen item,
// or else the first, takes the tab stop; the arrow keys move between the items.
void TForm1::CreateRadioGroup(const window::Control& control, int id, RECT bounds) {
    const DWORD state = StateStyle(control);
    Create(L"BUTTON", control.caption, state | BS_GROUPBOX | WS_GROUP, id, bounds);
    RadioGroup group{&control, id + 1};
    for (int i = 0; i < static_cast<int>(control.items.size()); ++i) {
        const DWORD style = state | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0) |
                            (i == std::max(control.selected, 0) ? WS_TABSTOP : 0);
        const HWND item = Create(L"BUTTON", control.items[static_cast<std::size_t>(i)], style,
                                 group.first_id + i, RadioItemBounds(control, bounds, i));
        m_declared[group.first_id + i] = &control;
        if (i == control.selected) {
            SendMessageW(item, BM_SETCHECK, BST_CHECKED, 0);
            group.chosen = i;
        }
    }
    m_radio_groups.push_back(group);
}

// --- events ---------------------------------------------------------------------------------

void TForm1::Forward(std::string_view control, window::Handler handler) {
    if (m_watcher && handler != nullptr) {
        m_watcher({.control = control, .handler = handler});
    }
    Forward(handler);
}

void TForm1::Forward(window::Handler handler) {
    if (handler != nullptr) {
        m_panel->Run([this, handler] { (m_panel.get()->*handler)(); });
    }
}

const window::Control* TForm1::DeclaredControl(int id) const {
    const auto found = m_declared.find(id);
    return found == m_declared.end() ? nullptr : found->second;
}

HWND TForm1::Control(std::string_view name) const {
    return GetDlgItem(m_window, window::ControlId(name));
}

const TForm1::RadioGroup& TForm1::RadioGroupNamed(std::string_view name) const {
    for (const RadioGroup& group : m_radio_groups) {
        if (group.control->name == name) {
            return group;
        }
    }
    throw std::out_of_range(std::string("no radio group ").append(name));
}

// Notification codes mean different things for each class of control.
void TForm1::OnCommand(int id, int code) {
    const window::Control* control = DeclaredControl(id);
    if (control == nullptr) {
        return;
    }
    if (control->kind == window::Kind::DropDown) {
        OnDropDownCommand(*control, code);
    } else if (code == BN_CLICKED && control->kind == window::Kind::RadioGroup) {
        OnRadioClicked(id);
    } else if (code == BN_CLICKED) {
        OnButtonClicked(*control);
    }
}

void TForm1::OnButtonClicked(const window::Control& button) {
    Forward(button.name, button.on_click);
}

void TForm1::OnDropDownCommand(const window::Control& drop_down, int code) {
    // Focus that only comes back with the window is no entering of the drop-down.
    if (code == CBN_SETFOCUS && !m_restoring_focus) {
        Forward(drop_down.name, drop_down.on_enter);
    } else if (code == CBN_SELCHANGE) {
        Forward(drop_down.name, drop_down.on_click);
    } else if (code == CBN_EDITCHANGE && drop_down.on_typing != nullptr) {
        const std::string text = Narrow(TextOf(Control(drop_down.name)));
        if (m_watcher) {
            m_watcher({.control = drop_down.name, .text_handler = drop_down.on_typing});
        }
        m_panel->Run(
            [this, &text, handler = drop_down.on_typing] { (m_panel.get()->*handler)(text); });
    }
}

// An item that becomes chosen sends its group's command; clicking the chosen one again
// sends nothing.
void TForm1::OnRadioClicked(int id) {
    for (RadioGroup& group : m_radio_groups) {
        const int index = id - group.first_id;
        if (index < 0 || index >= static_cast<int>(group.control->items.size())) {
            continue;
        }
        if (index != group.chosen &&
            SendMessageW(GetDlgItem(m_window, id), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            group.chosen = index;
            Forward(group.control->name, group.control->on_click);
        }
        return;
    }
}

// The focus goes back where it was when the window is activated again; the first time,
// to the first control in the tab order. Neither is the operator entering a control.
void TForm1::OnActivate(bool active) {
    if (!active) {
        m_focus_before_deactivation = GetFocus();
        return;
    }
    HWND target = m_focus_before_deactivation;
    if (target == nullptr || !IsChild(m_window, target)) {
        target = GetNextDlgTabItem(m_window, nullptr, FALSE);
    }
    if (target != nullptr) {
        m_restoring_focus = true;
        SetFocus(target);
        m_restoring_focus = false;
    }
}

HBRUSH TForm1::OnControlColour(HDC dc, HWND control) {
    const window::Window& form = window::PanelWindow();
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, ColourOf(form.background));
    const window::Control* declared = DeclaredControl(GetDlgCtrlID(control));
    // Windows has the dark shadow as a colour of its own; the declared one stands for it
    // where a toolkit has none.
    if (declared != nullptr && declared->dim_text) {
        SetTextColor(dc, GetSysColor(COLOR_3DDKSHADOW));
    }
    return m_background;
}

LRESULT CALLBACK TForm1::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return self->Handle(message, wparam, lparam);
}

LRESULT TForm1::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam));
            return 0;
        case WM_TIMER:
            if (wparam == kTimer) {
                Forward(window::PanelWindow().timer, window::PanelWindow().on_timer);
            }
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wparam) != WA_INACTIVE);
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(
                OnControlColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wparam),
                          {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wparam));
            return 0;
        case WM_DESTROY:
            KillTimer(m_window, kTimer);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(m_window, message, wparam, lparam);
    }
}

// The log is for reading: Tab moves on as everywhere else, and its menu can save it.
LRESULT CALLBACK TForm1::MemoProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR, DWORD_PTR self) {
    if (message == WM_GETDLGCODE) {
        const auto* key = reinterpret_cast<const MSG*>(lparam);
        const LRESULT code = DefSubclassProc(window, message, wparam, lparam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_TAB) {
            return code & ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
        }
        return code & ~DLGC_WANTTAB;
    }
    if (message == WM_CONTEXTMENU) {
        POINT at = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        reinterpret_cast<TForm1*>(self)->ShowContextMenu(window::kLog, at);
        return 0;
    }
    return DefSubclassProc(window, message, wparam, lparam);
}

// --- what the panel sees of the controls ---------------------------------------------------

void TForm1::SetPortList(const std::vector<std::string>& names) {
    const HWND ports = Control(window::kPortSelector);
    SendMessageW(ports, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
        SendMessageW(ports, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
    }
    // A long name does not fit the field: the drop-down widens to show it whole.
    SendMessageW(ports, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(DroppedWidthFor(ports, names)), 0);
}

void TForm1::SelectPort(int index) {
    SendMessageW(Control(window::kPortSelector), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int TForm1::SelectedPort() const {
    return static_cast<int>(SendMessageW(Control(window::kPortSelector), CB_GETCURSEL, 0, 0));
}

std::string TForm1::PortText() const {
    return Narrow(TextOf(Control(window::kPortSelector)));
}

void TForm1::SetPortText(const std::string& text) {
    SetWindowTextW(Control(window::kPortSelector), Widen(text).c_str());
}

void TForm1::EnableOpenButton() {
    EnableWindow(Control(window::kOpenButton), TRUE);
}

void TForm1::FocusOpenButton() {
    SetFocus(Control(window::kOpenButton));
}

std::string TForm1::SpeedText() const {
    return Narrow(TextOf(Control(window::kSpeedSelector)));
}

bool TForm1::IsChecked(panel::Switch box) const {
    return SendMessageW(Control(window::SwitchControl(box).name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int TForm1::ChosenItem(panel::Choice group) const {
    return RadioGroupNamed(window::ChoiceControl(group).name).chosen;
}

void TForm1::ShowThresholdSlider(bool shown) {
    ShowWindow(Control(window::kThresholdSlider), shown ? SW_SHOW : SW_HIDE);
}

int TForm1::ThresholdSliderPosition() const {
    return static_cast<int>(SendMessageW(Control(window::kThresholdSlider), TBM_GETPOS, 0, 0));
}

void TForm1::ShowSourcePicture(imaging::TGraphic* picture) {
    m_image1->Show(picture);
}

void TForm1::ShowPreview(const imaging::Bitmap* preview) {
    m_image2->Show(preview);
}

void TForm1::AppendLogLine(std::string_view text) {
    const HWND memo = Control(window::kLog);
    std::wstring line = Widen(text);
    if (!m_log_lengths.empty()) {
        line.insert(0, L"\r\n");
    }
    const auto end = static_cast<WPARAM>(GetWindowTextLengthW(memo));
    SendMessageW(memo, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
    m_log_lengths.push_back(line.size());
}

// The first remaining line gives up its leading line break along with the lines before.
void TForm1::RemoveOldestLogLines(std::size_t count) {
    std::size_t characters = 0;
    count = std::min(count, m_log_lengths.size());
    for (std::size_t i = 0; i < count; ++i) {
        characters += m_log_lengths[i];
    }
    m_log_lengths.erase(m_log_lengths.begin(), m_log_lengths.begin() + static_cast<long>(count));
    if (!m_log_lengths.empty() && count > 0) {
        characters += 2;
        m_log_lengths.front() -= 2;
    }
    const HWND memo = Control(window::kLog);
    SendMessageW(memo, EM_SETSEL, 0, static_cast<LPARAM>(characters));
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

}  // namespace win32ui

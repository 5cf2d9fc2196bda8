#include "app/win32/form1.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/win32/control_ids.h"
#include "app/win32/wide_text.h"
#include "protocol/commands.h"

namespace win32ui {

namespace {

constexpr int kClientWidth = 830;
constexpr int kClientHeight = 640;
constexpr int kLeft = 230;
constexpr int kTop = 21;
constexpr COLORREF kMoneyGreen = RGB(192, 220, 192);
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES;
// A drop-down's height includes its list.
constexpr int kDropDownListHeight = 200;

constexpr POINT kPortGroup = {22, 8};
constexpr POINT kDisplayGroup = {390, 8};

RECT At(POINT origin, int left, int top, int width, int height) {
    return {origin.x + left, origin.y + top, origin.x + left + width, origin.y + top + height};
}

RECT At(int left, int top, int width, int height) {
    return At({0, 0}, left, top, width, height);
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

// 8 point at 96 dpi: 11 pixels, as the layout is in pixels.
HFONT PanelFont() {
    return CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

ATOM RegisterWindowClass(HINSTANCE instance, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW type = {};
    type.cbSize = sizeof(type);
    type.lpfnWndProc = procedure;
    type.hInstance = instance;
    type.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    type.hIconSm = type.hIcon;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = background;
    type.lpszClassName = ids::kWindowClass;
    return RegisterClassExW(&type);
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

TForm1::TForm1(HINSTANCE instance, serial::SerialPlatform& platform, panel::StartPicture start)
    : m_background(CreateSolidBrush(kMoneyGreen)),
      m_font(PanelFont()),
      m_colour{ids::RadioGroup2 + 1, 8},
      m_brightness{ids::RadioGroup1 + 1, 4},
      m_model{ids::RadioGroup3 + 1, 2} {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterWindowClass(instance, &Procedure, m_background);
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    m_window = CreateWindowExW(kWindowExStyle, ids::kWindowClass, L"Velnor串口液晶屏模块V1.0",
                               kWindowStyle, kLeft, kTop, frame.right - frame.left,
                               frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_clipboard.SetOwner(m_window);
    // The panel starts before the controls, which report to it only once it exists.
    m_panel = std::make_unique<panel::Panel>(*this, platform, m_clipboard, std::move(start));
    CreateControls();
    SetTimer(m_window, ids::kTimer1, 1000, nullptr);
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
    Forward(&panel::Panel::FormShow);
}

HWND TForm1::Create(const wchar_t* type, const wchar_t* text, DWORD style, int id, RECT bounds) {
    const HWND control =
        CreateWindowExW(0, type, text, WS_CHILD | WS_VISIBLE | style, bounds.left, bounds.top,
                        bounds.right - bounds.left, bounds.bottom - bounds.top, m_window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    return control;
}

// Every control is a child of the window itself, created in the tab order: the port
// settings, the log, brightness, colour, the display group, the model and the preview
// button. Group boxes only draw their frame around the controls that follow them.
void TForm1::CreateControls() {
    m_image1 = std::make_unique<PictureControl>(m_window, ids::Image1, At(23, 156, 480, 480),
                                                m_background);
    m_image2 = std::make_unique<PictureControl>(m_window, ids::Image2, At(562, 161, 240, 240),
                                                m_background);
    for (PictureControl* picture : {m_image1.get(), m_image2.get()}) {
        picture->OnPaintError = [this](const std::string& message) { ShowException(message); };
    }
    CreatePortGroup();
    const HWND memo = Create(L"EDIT", L"",
                             WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                 ES_AUTOHSCROLL | ES_WANTRETURN,
                             ids::Memo1, At(560, 410, 241, 225));
    SetWindowLongPtrW(memo, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    SetWindowPos(memo, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(memo, &MemoProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
    CreateRadioGroup(m_brightness, L"  屏幕亮度  ", {L"0", L"1", L"2", L"3"},
                     At(326, 111, 201, 44));
    CreateRadioGroup(m_colour, L"  屏幕颜色  ",
                     {L"黑", L"红", L"绿", L"黄", L"蓝", L"紫", L"青", L"白"},
                     At(22, 111, 297, 44));
    CreateDisplayGroup();
    CreateRadioGroup(m_model, L"  LCD型号  ", {L"1未实现", L"2未实现"}, At(534, 111, 169, 44));
    Create(L"BUTTON", L"二值化测试", WS_TABSTOP | BS_PUSHBUTTON, ids::Button4,
           At(716, 128, 88, 25));
}

void TForm1::CreatePortGroup() {
    const POINT group = kPortGroup;
    Create(L"BUTTON", L"   串口设置   ", BS_GROUPBOX, ids::GroupBox2, At(group, 0, 0, 361, 97));
    Create(L"STATIC", L"端口", SS_LEFT, ids::Label1, At(group, 9, 27, 39, 13));
    Create(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
           ids::ComboBox1, At(group, 50, 23, 65, kDropDownListHeight));
    SetWindowTextW(Control(ids::ComboBox1), Widen(m_panel->PortPlaceholder()).c_str());
    // The open button follows the port in the tab order, before the speed.
    Create(L"BUTTON", L"打开", WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, ids::Button2,
           At(group, 288, 21, 57, 25));
    Create(L"STATIC", L"波特率", SS_LEFT, ids::Label2, At(group, 124, 27, 60, 13));
    const HWND speeds =
        Create(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
               ids::ComboBox2, At(group, 181, 23, 89, kDropDownListHeight));
    for (const std::int32_t speed : protocol::kModuleSpeeds) {
        SendMessageW(speeds, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(std::to_wstring(speed).c_str()));
    }
    SendMessageW(speeds, CB_SETCURSEL, 3, 0);
    Create(L"STATIC", L"2400bps为模块一上电的默认波特率", SS_LEFT, ids::Label3,
           At(group, 16, 48, 217, 13));
}

// A group box with its items in columns of equal width below the caption. The first item
// takes the tab stop; the arrow keys move between the items.
void TForm1::CreateRadioGroup(RadioGroup& group, const wchar_t* title,
                              const std::vector<const wchar_t*>& items, RECT bounds) {
    Create(L"BUTTON", title, BS_GROUPBOX, group.first_id - 1, bounds);
    const int columns = group.count;
    const int column_width = (bounds.right - bounds.left - 10) / columns;
    const int top = bounds.top + 16;
    for (int i = 0; i < group.count; ++i) {
        const DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        Create(L"BUTTON", items[static_cast<std::size_t>(i)], style, group.first_id + i,
               {bounds.left + 8 + i * column_width, top, bounds.left + 8 + (i + 1) * column_width,
                bounds.bottom - 6});
    }
}

void TForm1::CreateDisplayGroup() {
    const POINT group = kDisplayGroup;
    Create(L"BUTTON", L"  屏幕显示  ", BS_GROUPBOX | WS_GROUP, ids::GroupBox3,
           At(group, 0, 0, 420, 97));
    const struct {
        int id;
        const wchar_t* caption;
        RECT bounds;
    } boxes[] = {{ids::CheckBox3, L"图像缩放", At(group, 136, 16, 80, 17)},
                 {ids::CheckBox2, L"剪贴板监视", At(group, 22, 16, 90, 17)},
                 {ids::CheckBox1, L"自动刷屏", At(group, 324, 16, 80, 17)}};
    for (const auto& box : boxes) {
        Create(L"BUTTON", box.caption, WS_TABSTOP | BS_AUTOCHECKBOX, box.id, box.bounds);
        SendMessageW(Control(box.id), BM_SETCHECK, BST_CHECKED, 0);
    }
    Create(L"BUTTON", L"刷图片", WS_TABSTOP | BS_PUSHBUTTON, ids::Button1,
           At(group, 24, 64, 64, 25));
    const HWND slider = Create(TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_NOTICKS,
                               ids::TrackBar1, At(group, 104, 41, 313, 24));
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
    SendMessageW(slider, TBM_SETPAGESIZE, 0, 32);
    SendMessageW(slider, TBM_SETTICFREQ, 1, 0);
    SendMessageW(slider, TBM_SETPOS, TRUE, 128);
    ShowWindow(slider, SW_HIDE);
    Create(L"BUTTON", L"自动灰度", WS_TABSTOP | BS_AUTOCHECKBOX, ids::CheckBox4,
           At(group, 25, 40, 80, 17));
    SendMessageW(Control(ids::CheckBox4), BM_SETCHECK, BST_CHECKED, 0);
    const struct {
        int id;
        const wchar_t* caption;
        int left;
    } buttons[] = {{ids::Button3, L"刷竖条", 96},
                   {ids::Button5, L"刷细线", 176},
                   {ids::Button6, L"刷纯色", 256},
                   {ids::Button7, L"清屏", 336}};
    for (const auto& button : buttons) {
        Create(L"BUTTON", button.caption, WS_TABSTOP | BS_PUSHBUTTON, button.id,
               At(group, button.left, 64, 64, 25));
    }
}

// --- events ---------------------------------------------------------------------------------

void TForm1::Forward(void (panel::Panel::*handler)()) {
    m_panel->Run([this, handler] { (m_panel.get()->*handler)(); });
}

void TForm1::OnCommand(int id, int code) {
    using Handler = void (panel::Panel::*)();
    static const struct {
        int id;
        Handler handler;
    } clicks[] = {{ids::Button2, &panel::Panel::Button2Click},
                  {ids::Button1, &panel::Panel::Button1Click},
                  {ids::Button4, &panel::Panel::Button4Click},
                  {ids::Button3, &panel::Panel::Button3Click},
                  {ids::Button5, &panel::Panel::Button5Click},
                  {ids::Button6, &panel::Panel::Button6Click},
                  {ids::Button7, &panel::Panel::Button7Click},
                  {ids::CheckBox4, &panel::Panel::CheckBox4Click}};
    if (id == ids::ComboBox1) {
        // Focus that only comes back with the window is no entering of the selector.
        if (code == CBN_SETFOCUS && !m_restoring_focus) {
            Forward(&panel::Panel::ComboBox1Enter);
        } else if (code == CBN_SELCHANGE) {
            Forward(&panel::Panel::ComboBox1Click);
        } else if (code == CBN_EDITCHANGE) {
            m_panel->Run([this] { m_panel->ComboBox1Change(PortText()); });
        }
        return;
    }
    if (code != BN_CLICKED) {
        return;
    }
    for (const auto& click : clicks) {
        if (click.id == id) {
            Forward(click.handler);
            return;
        }
    }
    OnRadioClicked(id);
}

// An item that becomes chosen sends its group's command; clicking the chosen one again
// sends nothing.
void TForm1::OnRadioClicked(int id) {
    const struct {
        RadioGroup* group;
        void (panel::Panel::*handler)();
    } groups[] = {{&m_colour, &panel::Panel::RadioGroup2Click},
                  {&m_brightness, &panel::Panel::RadioGroup1Click},
                  {&m_model, &panel::Panel::RadioGroup3Click}};
    for (const auto& [group, handler] : groups) {
        if (id < group->first_id || id >= group->first_id + group->count) {
            continue;
        }
        const int index = id - group->first_id;
        if (index != group->chosen && SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            group->chosen = index;
            Forward(handler);
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
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, kMoneyGreen);
    if (GetDlgCtrlID(control) == ids::Label3) {
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
            if (wparam == ids::kTimer1) {
                Forward(&panel::Panel::Timer1Timer);
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
            KillTimer(m_window, ids::kTimer1);
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
        reinterpret_cast<TForm1*>(self)->ShowLogMenu(at);
        return 0;
    }
    return DefSubclassProc(window, message, wparam, lparam);
}

// --- what the panel sees of the controls ---------------------------------------------------

void TForm1::SetPortList(const std::vector<std::string>& names) {
    const HWND ports = Control(ids::ComboBox1);
    SendMessageW(ports, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
        SendMessageW(ports, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
    }
    // A long name does not fit the field: the drop-down widens to show it whole.
    SendMessageW(ports, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(DroppedWidthFor(ports, names)), 0);
}

void TForm1::SelectPort(int index) {
    SendMessageW(Control(ids::ComboBox1), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int TForm1::SelectedPort() const {
    return static_cast<int>(SendMessageW(Control(ids::ComboBox1), CB_GETCURSEL, 0, 0));
}

std::string TForm1::PortText() const {
    return Narrow(TextOf(Control(ids::ComboBox1)));
}

void TForm1::SetPortText(const std::string& text) {
    SetWindowTextW(Control(ids::ComboBox1), Widen(text).c_str());
}

void TForm1::EnableOpenButton() {
    EnableWindow(Control(ids::Button2), TRUE);
}

void TForm1::FocusOpenButton() {
    SetFocus(Control(ids::Button2));
}

std::string TForm1::SpeedText() const {
    return Narrow(TextOf(Control(ids::ComboBox2)));
}

bool TForm1::IsChecked(panel::Switch box) const {
    int id = ids::CheckBox4;
    switch (box) {
        case panel::Switch::ClipboardMonitor:
            id = ids::CheckBox2;
            break;
        case panel::Switch::ScalePictures:
            id = ids::CheckBox3;
            break;
        case panel::Switch::AutoSend:
            id = ids::CheckBox1;
            break;
        case panel::Switch::AutoThreshold:
            id = ids::CheckBox4;
            break;
    }
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int TForm1::ChosenItem(panel::Choice group) const {
    switch (group) {
        case panel::Choice::Color:
            return m_colour.chosen;
        case panel::Choice::Brightness:
            return m_brightness.chosen;
        case panel::Choice::LcdModel:
            return m_model.chosen;
    }
    return -1;
}

void TForm1::ShowThresholdSlider(bool shown) {
    ShowWindow(Control(ids::TrackBar1), shown ? SW_SHOW : SW_HIDE);
}

int TForm1::ThresholdSliderPosition() const {
    return static_cast<int>(SendMessageW(Control(ids::TrackBar1), TBM_GETPOS, 0, 0));
}

void TForm1::ShowSourcePicture(imaging::TGraphic* picture) {
    m_image1->Show(picture);
}

void TForm1::ShowPreview(const imaging::Bitmap* preview) {
    m_image2->Show(preview);
}

void TForm1::AppendLogLine(std::string_view text) {
    const HWND memo = Control(ids::Memo1);
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
    const HWND memo = Control(ids::Memo1);
    SendMessageW(memo, EM_SETSEL, 0, static_cast<LPARAM>(characters));
    SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

}  // namespace win32ui

#pragma once

// The control identifiers of the Win32 window, by the controls' numbered names; tests and
// tools find a control by them (GetDlgItem).
namespace win32ui::ids {

enum : int {
    Image1 = 101,
    Image2,
    GroupBox2,
    Label1,
    ComboBox1,
    Label2,
    ComboBox2,
    Button2,
    Label3,
    Button4,
    GroupBox3,
    CheckBox2,
    CheckBox3,
    CheckBox1,
    CheckBox4,
    TrackBar1,
    Button1,
    Button3,
    Button5,
    Button6,
    Button7,
    Memo1,
    RadioGroup2 = 200,  // the group box; its items follow it
    RadioGroup1 = 220,
    RadioGroup3 = 240,
};

// The window's class and its timer.
inline constexpr wchar_t kWindowClass[] = L"TForm1";
inline constexpr UINT_PTR kTimer1 = 1;

}  // namespace win32ui::ids

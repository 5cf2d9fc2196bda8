#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "app/panel.h"
#include "app/panel_view.h"
#include "app/win32/picture_control.h"
#include "app/win32/system_clipboard.h"

namespace win32ui {

// The panel's window on plain Win32 controls: it builds the controls with their classic
// look, shows what the panel tells it and forwards every event to the panel. Each
// control's numbered name is its control identifier (see form1.cpp).
class TForm1 final : public panel::PanelView {
public:
    TForm1(HINSTANCE instance, serial::SerialPlatform& platform, panel::StartPicture start);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return m_window; }
    panel::Panel& Panel() { return *m_panel; }
    // Shows the window and runs FormShow.
    void Show(int how);

    // panel::PanelView
    void SetPortList(const std::vector<std::string>& names) override;
    void SelectPort(int index) override;
    int SelectedPort() const override;
    std::string PortText() const override;
    void SetPortText(const std::string& text) override;
    void EnableOpenButton() override;
    void FocusOpenButton() override;
    std::string SpeedText() const override;
    bool IsChecked(panel::Switch box) const override;
    int ChosenItem(panel::Choice group) const override;
    void ShowThresholdSlider(bool shown) override;
    int ThresholdSliderPosition() const override;
    void ShowSourcePicture(imaging::TGraphic* picture) override;
    void ShowPreview(const imaging::Bitmap* preview) override;
    void AppendLogLine(std::string_view text) override;
    void RemoveOldestLogLines(std::size_t count) override;
    void ShowMessage(std::string_view text) override;
    void ShowException(std::string_view text) override;
    std::optional<std::filesystem::path> ChooseFile(panel::FilePrompt prompt) override;

private:
    struct RadioGroup {
        int first_id;
        int count;
        int chosen = -1;
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK MemoProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR, DWORD_PTR self);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

    void CreateControls();
    void CreatePortGroup();
    void CreateRadioGroup(RadioGroup& group, const wchar_t* title,
                          const std::vector<const wchar_t*>& items, RECT bounds);
    void CreateDisplayGroup();
    HWND Create(const wchar_t* type, const wchar_t* text, DWORD style, int id, RECT bounds);

    void OnCommand(int id, int code);
    void OnRadioClicked(int id);
    void OnActivate(bool active);
    HBRUSH OnControlColour(HDC dc, HWND control);
    void OnContextMenu(HWND control, POINT at);
    void OnDropFiles(HDROP drop);
    void ShowPictureMenu(bool source, POINT at);
    void ShowLogMenu(POINT at);
    void Forward(void (panel::Panel::*handler)());
    HWND Control(int id) const { return GetDlgItem(m_window, id); }

    HWND m_window = nullptr;
    HBRUSH m_background;
    HFONT m_font;
    SystemClipboard m_clipboard;
    std::unique_ptr<PictureControl> m_image1;
    std::unique_ptr<PictureControl> m_image2;
    RadioGroup m_colour;      // RadioGroup2
    RadioGroup m_brightness;  // RadioGroup1
    RadioGroup m_model;       // RadioGroup3
    // UTF-16 length of each line in Memo1, its line break included, so the oldest can go.
    std::vector<std::size_t> m_log_lengths;
    HWND m_focus_before_deactivation = nullptr;
    bool m_restoring_focus = false;
    std::unique_ptr<panel::Panel> m_panel;
};

}  // namespace win32ui

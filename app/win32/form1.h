#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "app/panel.h"
#include "app/panel_view.h"
#include "app/win32/picture_control.h"
#include "app/win32/system_clipboard.h"
#include "app/window_declaration.h"

namespace win32ui {

// The panel's window on plain Win32 controls: it builds the declared controls with their
// classic look, shows what the panel tells it and forwards every event to the panel. Each
// control's identifier is the declaration's (panel::window::ControlId), so tests and tools
// find a control by its numbered name.
class TForm1 final : public panel::PanelView {
public:
    TForm1(HINSTANCE instance, serial::SerialPlatform& platform, panel::StartPicture start);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return m_window; }
    panel::Panel& Panel() { return *m_panel; }
    // Shows the window and runs its show handler.
    void Show(int how);
    // Called just before each declared event goes on to the panel.
    void WatchEvents(std::function<void(const panel::window::Forwarded&)> watcher) {
        m_watcher = std::move(watcher);
    }

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
    // A radio group's items follow its group box's identifier.
    struct RadioGroup {
        const panel::window::Control* control;
        int first_id;
        int chosen = -1;
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK MemoProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR, DWORD_PTR self);
    LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

    void CreateControls();
    void CreateControl(const panel::window::Control& control, int id, RECT bounds);
    void CreatePicture(const panel::window::Control& control, int id, RECT bounds);
    void CreateDropDown(const panel::window::Control& control, int id, RECT bounds);
    void CreateCheckBox(const panel::window::Control& control, int id, RECT bounds);
    void CreateSlider(const panel::window::Control& control, int id, RECT bounds);
    void CreateLog(const panel::window::Control& control, int id, RECT bounds);
    void CreateRadioGroup(const panel::window::Control& control, int id, RECT bounds);
    HWND Create(const wchar_t* type, std::string_view text, DWORD style, int id, RECT bounds);

    void OnCommand(int id, int code);
    void OnButtonClicked(const panel::window::Control& button);
    void OnDropDownCommand(const panel::window::Control& drop_down, int code);
    void OnRadioClicked(int id);
    void OnActivate(bool active);
    HBRUSH OnControlColour(HDC dc, HWND control);
    void OnContextMenu(HWND control, POINT at);
    void OnDropFiles(HDROP drop);
    void ShowContextMenu(std::string_view control, POINT at);
    // A declared event, shown to the watcher on its way.
    void Forward(std::string_view control, panel::window::Handler handler);
    void Forward(panel::window::Handler handler);
    // The declared control behind an identifier; a radio item answers for its group.
    const panel::window::Control* DeclaredControl(int id) const;
    HWND Control(std::string_view name) const;
    const RadioGroup& RadioGroupNamed(std::string_view name) const;

    HWND m_window = nullptr;
    HBRUSH m_background;
    HFONT m_font;
    SystemClipboard m_clipboard;
    std::map<int, const panel::window::Control*> m_declared;
    std::map<std::string_view, std::unique_ptr<PictureControl>> m_pictures;
    PictureControl* m_image1 = nullptr;
    PictureControl* m_image2 = nullptr;
    std::vector<RadioGroup> m_radio_groups;
    // UTF-16 length of each line in the log, its line break included, so the oldest can go.
    std::vector<std::size_t> m_log_lengths;
    HWND m_focus_before_deactivation = nullptr;
    bool m_restoring_focus = false;
    std::function<void(const panel::window::Forwarded&)> m_watcher;
    std::unique_ptr<panel::Panel> m_panel;
};

}  // namespace win32ui

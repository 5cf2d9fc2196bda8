#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/graphic.h"

namespace panel {

// The check boxes of the display group, by what they switch.
enum class Switch {
    ClipboardMonitor,  // CheckBox2
    ScalePictures,     // CheckBox3
    AutoSend,          // CheckBox1
    AutoThreshold,     // CheckBox4
};

// The radio groups, by the command each chooses the value of.
enum class Choice {
    Color,       // RadioGroup2
    Brightness,  // RadioGroup1
    LcdModel,    // RadioGroup3
};

// The files the operator is asked to pick.
enum class FilePrompt { OpenPicture, SavePreview, SaveLog };

// What the panel needs of its window's controls. A front end implements it over its
// toolkit's widgets; the panel decides what happens, the view only shows and reports.
class PanelView {
public:
    virtual ~PanelView() = default;

    // The port selector (ComboBox1): its list, the item chosen (-1: none), its text.
    virtual void SetPortList(const std::vector<std::string>& names) = 0;
    virtual void SelectPort(int index) = 0;
    virtual int SelectedPort() const = 0;
    virtual std::string PortText() const = 0;
    virtual void SetPortText(const std::string& text) = 0;
    // The open button (Button2); nothing disables it once enabled.
    virtual void EnableOpenButton() = 0;
    virtual void FocusOpenButton() = 0;

    // The speed selector's (ComboBox2) text, typed or picked from its list.
    virtual std::string SpeedText() const = 0;

    virtual bool IsChecked(Switch box) const = 0;
    // The radio group's chosen item, -1 while none is.
    virtual int ChosenItem(Choice group) const = 0;
    // The threshold slider (TrackBar1): shown or hidden, and where it stands.
    virtual void ShowThresholdSlider(bool shown) = 0;
    virtual int ThresholdSliderPosition() const = 0;

    // The source picture (Image1) and the preview (Image2, the frame at half size), each
    // shown 1:1 from the top-left. The panel owns both pictures and keeps them alive while
    // shown; nullptr shows nothing.
    virtual void ShowSourcePicture(imaging::TGraphic* picture) = 0;
    virtual void ShowPreview(const imaging::Bitmap* preview) = 0;

    // The activity log (Memo1): one line added at the end, or the oldest lines removed.
    virtual void AppendLogLine(std::string_view text) = 0;
    virtual void RemoveOldestLogLines(std::size_t count) = 0;

    // Message boxes: the panel's own notice, and an error that ended an action.
    virtual void ShowMessage(std::string_view text) = 0;
    virtual void ShowException(std::string_view text) = 0;

    // A file dialog; nothing when the operator cancels.
    virtual std::optional<std::filesystem::path> ChooseFile(FilePrompt prompt) = 0;
};

}  // namespace panel

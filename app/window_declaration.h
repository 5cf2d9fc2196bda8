#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/panel_view.h"

namespace panel {

class Panel;

// The panel's window, declared once as data: every front end builds its controls from it and
// its wiring tests walk it. A front end maps each kind to its toolkit's widget and decides
// nothing else; adding a control means adding a row here.
namespace window {

enum class Kind { Picture, GroupBox, Label, DropDown, Button, CheckBox, Slider, RadioGroup, Log };

struct Box {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Box&) const = default;
};

struct Colour {
    int red = 0;
    int green = 0;
    int blue = 0;
};

struct SliderRange {
    int minimum = 0;
    int maximum = 0;
    int page = 0;
    int tick_interval = 0;
    int position = 0;
};

using Handler = void (Panel::*)();
using TextHandler = void (Panel::*)(const std::string&);

struct Control {
    std::string_view name{};  // its numbered name: Button2, CheckBox4, ...
    Kind kind = Kind::Label;
    std::string_view group{};  // the group box it is drawn in; empty for the window itself
    Box box{};                 // in its group box, or in the window's client area
    std::string_view caption{};
    std::vector<std::string> items{};  // a drop-down's list, a radio group's items
    int columns = 0;                   // a radio group's
    int selected = -1;                 // the item chosen at start
    bool enabled = true;
    bool checked = false;
    bool visible = true;
    bool dim_text = false;  // drawn in the dark shadow colour
    SliderRange slider{};
    // What reaches the panel: a click, a choice or a picked item; the operator moving the
    // focus into it; text typed into it.
    Handler on_click = nullptr;
    Handler on_enter = nullptr;
    TextHandler on_typing = nullptr;
    // What the panel reads from it, if anything.
    std::optional<Switch> switches{};
    std::optional<Choice> chooses{};
};

// An entry of a control's context menu. One with no caption stands for the binarization
// choices, as a submenu.
struct MenuEntry {
    std::string_view caption{};
    Handler handler = nullptr;
    bool needs_preview = false;  // enabled only once there is a preview to save
};

struct ContextMenu {
    std::string_view control{};
    // The toolkit's own editing entries (copy, select all) come first, then a separator.
    bool after_editing_entries = false;
    std::vector<MenuEntry> entries{};
};

// What a file prompt shows. A filter with no patterns takes the pictures the readers read.
struct FileDialogText {
    FilePrompt prompt = FilePrompt::OpenPicture;
    std::string_view title{};
    std::string_view default_name{};
    std::string_view filter_name{};
    std::string_view pattern{};    // "*.png"; empty for the pictures' own
    std::string_view extension{};  // added to a name typed without one
    bool save = false;
};

// An event on its way from a control to the panel, as a front end shows it to a watcher.
struct Forwarded {
    std::string_view control;
    Handler handler = nullptr;
    TextHandler text_handler = nullptr;
};

struct Window {
    std::string_view name;       // the window's numbered name
    std::string_view type_name;  // its class's name
    std::string_view caption;
    Box client;  // its client area, at its place on the screen
    Colour background;
    Colour dim_text;  // the dark shadow colour, where the system has none of its own
    std::string_view font_face;
    int font_pixels = 0;  // 8 point at 96 dots per inch
    Handler on_show = nullptr;
    std::string_view timer;  // the clipboard's timer
    int timer_interval_ms = 0;
    Handler on_timer = nullptr;
    // In the tab order; group boxes come before the controls they frame, and a radio group
    // is one stop. Labels, pictures and group boxes take no focus.
    std::vector<Control> controls;
    std::vector<ContextMenu> menus;
    std::string_view binarization_menu;
    std::string_view all_files;  // the file prompts' filter for any file
    std::vector<FileDialogText> file_dialogs;
};

// The controls the panel's view speaks of, by their part in it.
inline constexpr std::string_view kPortSelector = "ComboBox1";
inline constexpr std::string_view kOpenButton = "Button2";
inline constexpr std::string_view kSpeedSelector = "ComboBox2";
inline constexpr std::string_view kThresholdSlider = "TrackBar1";
inline constexpr std::string_view kLog = "Memo1";
inline constexpr std::string_view kSourcePicture = "Image1";
inline constexpr std::string_view kPreview = "Image2";

const Window& PanelWindow();

// The control of that name; throws std::out_of_range for a name the window lacks.
const Control& ControlNamed(std::string_view name);
const Control& SwitchControl(Switch box);
const Control& ChoiceControl(Choice group);
// The control's context menu, or nullptr if it has none.
const ContextMenu* MenuOf(std::string_view control);
const FileDialogText& FileDialogFor(FilePrompt prompt);
// Where a control sits in the window's client area.
Box WindowBox(const Control& control);
bool TakesFocus(Kind kind);
// The Win32 identifier of a control; a radio group's items follow it, item i at id + 1 + i.
int ControlId(std::string_view name);

}  // namespace window
}  // namespace panel

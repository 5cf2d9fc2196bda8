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
    Colour dim_text;
    std::string_view font_face;
    int font_pixels = 0;  // 8 point at 96 dots per inch
    Handler on_show = nullptr;
    std::string_view timer;  // the clipboard's timer
    int timer_interval_ms = 0;
    Handler on_timer = nullptr;
    // In the tab order; group boxes come before the controls they frame, and a radio group
    // is one stop. Labels, pictures and group boxes take no focus.
    std::vector<Control> controls;
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
// Where a control sits in the window's client area.
Box WindowBox(const Control& control);
bool TakesFocus(Kind kind);
// The Win32 identifier of a control; a radio group's items follow it, item i at id + 1 + i.
int ControlId(std::string_view name);

}  // namespace window
}  // namespace panel

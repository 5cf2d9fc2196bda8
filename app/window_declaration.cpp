#include "app/window_declaration.h"

#include <algorithm>
#include <stdexcept>

#include "app/panel.h"
#include "protocol/handshake.h"

namespace panel::window {

namespace {

std::vector<std::string> SpeedItems() {
    std::vector<std::string> items;
    for (const std::int32_t speed : protocol::kModuleSpeeds) items.push_back(std::to_string(speed));
    return items;
}

Control Button(std::string_view name, std::string_view group, Box box, std::string_view caption,
               Handler on_click) {
    return {.name = name,
            .kind = Kind::Button,
            .group = group,
            .box = box,
            .caption = caption,
            .on_click = on_click};
}

Control CheckBox(std::string_view name, Box box, std::string_view caption, Switch switches,
                 Handler on_click = nullptr) {
    return {.name = name,
            .kind = Kind::CheckBox,
            .group = "GroupBox3",
            .box = box,
            .caption = caption,
            .checked = true,
            .on_click = on_click,
            .switches = switches};
}

// A radio group's items are the values of its setting: the numbers themselves where no
// captions are given.
Control RadioGroup(std::string_view name, Box box, std::string_view caption,
                   std::vector<std::string> items, Choice chooses, Handler on_click) {
    if (items.empty()) {
        for (int value = 0; value < SettingChosenBy(chooses).choices; ++value) {
            items.push_back(std::to_string(value));
        }
    }
    const int columns = static_cast<int>(items.size());
    return {.name = name,
            .kind = Kind::RadioGroup,
            .box = box,
            .caption = caption,
            .items = std::move(items),
            .columns = columns,
            .on_click = on_click,
            .chooses = chooses};
}

Control Plain(std::string_view name, Kind kind, std::string_view group, Box box,
              std::string_view caption = {}) {
    return {.name = name, .kind = kind, .group = group, .box = box, .caption = caption};
}

std::vector<Control> PortGroup() {
    const std::string_view group = "GroupBox2";
    return {
        Plain(group, Kind::GroupBox, {}, {22, 8, 361, 97}, "   串口设置   "),
        Plain("Label1", Kind::Label, group, {9, 27, 39, 13}, "端口"),
        {.name = "ComboBox1",
         .kind = Kind::DropDown,
         .group = group,
         .box = {50, 23, 65, 21},
         .on_click = &Panel::ComboBox1Click,
         .on_enter = &Panel::ComboBox1Enter,
         .on_typing = &Panel::ComboBox1Change},
        {.name = "Button2",
         .kind = Kind::Button,
         .group = group,
         .box = {288, 21, 57, 25},
         .caption = "打开",
         .enabled = false,
         .on_click = &Panel::Button2Click},
        Plain("Label2", Kind::Label, group, {124, 27, 60, 13}, "波特率"),
        {.name = "ComboBox2",
         .kind = Kind::DropDown,
         .group = group,
         .box = {181, 23, 89, 21},
         .items = SpeedItems(),
         .selected = 3},
        {.name = "Label3",
         .kind = Kind::Label,
         .group = group,
         .box = {16, 48, 217, 13},
         .caption = "2400bps为模块一上电的默认波特率",
         .dim_text = true},
    };
}

std::vector<Control> DisplayGroup() {
    const std::string_view group = "GroupBox3";
    return {
        Plain(group, Kind::GroupBox, {}, {390, 8, 420, 97}, "  屏幕显示  "),
        CheckBox("CheckBox3", {136, 16, 80, 17}, "图像缩放", Switch::ScalePictures),
        CheckBox("CheckBox2", {22, 16, 90, 17}, "剪贴板监视", Switch::ClipboardMonitor),
        CheckBox("CheckBox1", {324, 16, 80, 17}, "自动刷屏", Switch::AutoSend),
        Button("Button1", group, {24, 64, 64, 25}, "刷图片", &Panel::Button1Click),
        {.name = "TrackBar1",
         .kind = Kind::Slider,
         .group = group,
         .box = {104, 41, 313, 24},
         .visible = false,
         .slider = {.minimum = 0, .maximum = 255, .page = 32, .tick_interval = 1, .position = 128}},
        CheckBox("CheckBox4", {25, 40, 80, 17}, "自动灰度", Switch::AutoThreshold,
                 &Panel::CheckBox4Click),
        Button("Button3", group, {96, 64, 64, 25}, "刷竖条", &Panel::Button3Click),
        Button("Button5", group, {176, 64, 64, 25}, "刷细线", &Panel::Button5Click),
        Button("Button6", group, {256, 64, 64, 25}, "刷纯色", &Panel::Button6Click),
        Button("Button7", group, {336, 64, 64, 25}, "清屏", &Panel::Button7Click),
    };
}

std::vector<Control> Controls() {
    std::vector<Control> controls = {
        Plain("Image1", Kind::Picture, {}, {23, 156, 480, 480}),
        Plain("Image2", Kind::Picture, {}, {562, 161, 240, 240}),
    };
    for (Control& control : PortGroup()) controls.push_back(std::move(control));
    controls.push_back(Plain("Memo1", Kind::Log, {}, {560, 410, 241, 225}));
    controls.push_back(RadioGroup("RadioGroup1", {326, 111, 201, 44}, "  屏幕亮度  ", {},
                                  Choice::Brightness, &Panel::RadioGroup1Click));
    controls.push_back(RadioGroup("RadioGroup2", {22, 111, 297, 44}, "  屏幕颜色  ",
                                  {"黑", "红", "绿", "黄", "蓝", "紫", "青", "白"}, Choice::Color,
                                  &Panel::RadioGroup2Click));
    for (Control& control : DisplayGroup()) controls.push_back(std::move(control));
    controls.push_back(RadioGroup("RadioGroup3", {534, 111, 169, 44}, "  LCD型号  ",
                                  {"1未实现", "2未实现"}, Choice::LcdModel,
                                  &Panel::RadioGroup3Click));
    controls.push_back(
        Button("Button4", {}, {716, 128, 88, 25}, "二值化测试", &Panel::Button4Click));
    return controls;
}

std::vector<ContextMenu> Menus() {
    return {
        {.control = kSourcePicture,
         .entries = {{.caption = "打开图片…", .handler = &Panel::ChooseAndOpenPicture}, {}}},
        {.control = kPreview,
         .entries = {{},
                     {.caption = "保存预览…",
                      .handler = &Panel::ChooseAndSavePreview,
                      .needs_preview = true}}},
        {.control = kLog,
         .after_editing_entries = true,
         .entries = {{.caption = "保存日志…", .handler = &Panel::ChooseAndSaveLog}}},
    };
}

std::vector<FileDialogText> FileDialogs() {
    return {
        {.prompt = FilePrompt::OpenPicture, .title = "打开图片", .filter_name = "图片"},
        {.prompt = FilePrompt::SavePreview,
         .title = "保存预览",
         .default_name = "preview.png",
         .filter_name = "PNG",
         .pattern = "*.png",
         .extension = "png",
         .save = true},
        {.prompt = FilePrompt::SaveLog,
         .title = "保存日志",
         .default_name = "log.txt",
         .filter_name = "文本",
         .pattern = "*.txt",
         .extension = "txt",
         .save = true},
    };
}

// The row whose `field` holds `value`, or nullptr.
template <typename Row, typename Field, typename Value>
const Row* Find(const std::vector<Row>& rows, Field Row::*field, const Value& value) {
    const auto found = std::ranges::find(rows, value, field);
    return found == rows.end() ? nullptr : &*found;
}

// The same, for a row the window cannot do without.
template <typename Row, typename Field, typename Value>
const Row& Found(const std::vector<Row>& rows, Field Row::*field, const Value& value,
                 const char* missing) {
    const Row* row = Find(rows, field, value);
    if (row == nullptr)
        throw std::out_of_range(missing);
    return *row;
}

}  // namespace

const Window& PanelWindow() {
    static const Window window = {.name = "Form1",
                                  .type_name = "TForm1",
                                  .caption = "Velnor串口液晶屏模块V1.0",
                                  .client = {230, 21, 830, 640},
                                  .background = {192, 220, 192},
                                  .dim_text = {105, 105, 105},
                                  .font_face = "MS Sans Serif",
                                  .font_pixels = 11,
                                  .on_show = &Panel::FormShow,
                                  .timer = "Timer1",
                                  .timer_interval_ms = 1000,
                                  .on_timer = &Panel::Timer1Timer,
                                  .controls = Controls(),
                                  .menus = Menus(),
                                  .binarization_menu = "二值化方式",
                                  .all_files = "所有文件",
                                  .file_dialogs = FileDialogs()};
    return window;
}

const Control& ControlNamed(std::string_view name) {
    const Control* control = Find(PanelWindow().controls, &Control::name, name);
    if (control == nullptr)
        throw std::out_of_range(std::string("the window has no control ").append(name));
    return *control;
}

const Control& SwitchControl(Switch box) {
    return Found(PanelWindow().controls, &Control::switches, box, "no check box for a switch");
}

const Control& ChoiceControl(Choice group) {
    return Found(PanelWindow().controls, &Control::chooses, group, "no radio group for a choice");
}

const ContextMenu* MenuOf(std::string_view control) {
    return Find(PanelWindow().menus, &ContextMenu::control, control);
}

const FileDialogText& FileDialogFor(FilePrompt prompt) {
    return Found(PanelWindow().file_dialogs, &FileDialogText::prompt, prompt,
                 "no file dialog for a prompt");
}

Box WindowBox(const Control& control) {
    Box box = control.box;
    if (!control.group.empty()) {
        const Box& group = ControlNamed(control.group).box;
        box.left += group.left;
        box.top += group.top;
    }
    return box;
}

bool TakesFocus(Kind kind) {
    return kind != Kind::Picture && kind != Kind::GroupBox && kind != Kind::Label;
}

// Room for a radio group's items after each identifier; clear of the dialog box's own.
int ControlId(std::string_view name) {
    const std::vector<Control>& controls = PanelWindow().controls;
    return 100 + 16 * static_cast<int>(&ControlNamed(name) - controls.data());
}

}  // namespace panel::window

// The window's declaration against its layout, written out here on its own: the wiring tests
// of each front end walk the declaration, so a mistake in it would pass them unseen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/panel.h"
#include "app/window_declaration.h"

namespace {

using panel::window::Box;
using panel::window::Kind;

struct LayoutRow {
    const char* name;
    Kind kind;
    const char* group;
    Box box;
    const char* caption;
    const char* items;  // joined by "|"
    // "disabled", "checked", "hidden", "dim", "selected 3", or nothing.
    std::string state;
};

std::string StateOf(const panel::window::Control& control) {
    std::string state;
    const auto add = [&](bool holds, const std::string& word) {
        if (holds)
            state += (state.empty() ? "" : " ") + word;
    };
    add(!control.enabled, "disabled");
    add(control.checked, "checked");
    add(!control.visible, "hidden");
    add(control.dim_text, "dim");
    add(control.selected >= 0, "selected " + std::to_string(control.selected));
    return state;
}

TEST(WindowLayoutTest, TheDeclarationIsTheLayout) {
    // One control a line, as a layout is read.
    // clang-format off
    const std::vector<LayoutRow> layout = {
        {"Image1", Kind::Picture, "", {23, 156, 480, 480}, "", "", ""},
        {"Image2", Kind::Picture, "", {562, 161, 240, 240}, "", "", ""},
        {"GroupBox2", Kind::GroupBox, "", {22, 8, 361, 97}, "   串口设置   ", "", ""},
        {"Label1", Kind::Label, "GroupBox2", {9, 27, 39, 13}, "端口", "", ""},
        {"ComboBox1", Kind::DropDown, "GroupBox2", {50, 23, 65, 21}, "", "", ""},
        {"Label2", Kind::Label, "GroupBox2", {124, 27, 60, 13}, "波特率", "", ""},
        {"ComboBox2", Kind::DropDown, "GroupBox2", {181, 23, 89, 21}, "",
         "2400|9600|115200|921600|2016806|3037974|5000000", "selected 3"},
        {"Button2", Kind::Button, "GroupBox2", {288, 21, 57, 25}, "打开", "", "disabled"},
        {"Label3", Kind::Label, "GroupBox2", {16, 48, 217, 13}, "2400bps为模块一上电的默认波特率",
         "", "dim"},
        {"RadioGroup2", Kind::RadioGroup, "", {22, 111, 297, 44}, "  屏幕颜色  ",
         "黑|红|绿|黄|蓝|紫|青|白", ""},
        {"RadioGroup1", Kind::RadioGroup, "", {326, 111, 201, 44}, "  屏幕亮度  ", "0|1|2|3", ""},
        {"RadioGroup3", Kind::RadioGroup, "", {534, 111, 169, 44}, "  LCD型号  ", "1未实现|2未实现",
         ""},
        {"Button4", Kind::Button, "", {716, 128, 88, 25}, "二值化测试", "", ""},
        {"GroupBox3", Kind::GroupBox, "", {390, 8, 420, 97}, "  屏幕显示  ", "", ""},
        {"CheckBox2", Kind::CheckBox, "GroupBox3", {22, 16, 90, 17}, "剪贴板监视", "", "checked"},
        {"CheckBox3", Kind::CheckBox, "GroupBox3", {136, 16, 80, 17}, "图像缩放", "", "checked"},
        {"CheckBox1", Kind::CheckBox, "GroupBox3", {324, 16, 80, 17}, "自动刷屏", "", "checked"},
        {"CheckBox4", Kind::CheckBox, "GroupBox3", {25, 40, 80, 17}, "自动灰度", "", "checked"},
        {"TrackBar1", Kind::Slider, "GroupBox3", {104, 41, 313, 24}, "", "", "hidden"},
        {"Button1", Kind::Button, "GroupBox3", {24, 64, 64, 25}, "刷图片", "", ""},
        {"Button3", Kind::Button, "GroupBox3", {96, 64, 64, 25}, "刷竖条", "", ""},
        {"Button5", Kind::Button, "GroupBox3", {176, 64, 64, 25}, "刷细线", "", ""},
        {"Button6", Kind::Button, "GroupBox3", {256, 64, 64, 25}, "刷纯色", "", ""},
        {"Button7", Kind::Button, "GroupBox3", {336, 64, 64, 25}, "清屏", "", ""},
        {"Memo1", Kind::Log, "", {560, 410, 241, 225}, "", "", ""},
    };
    // clang-format on
    const panel::window::Window& window = panel::window::PanelWindow();
    EXPECT_EQ(window.controls.size(), layout.size());
    for (const LayoutRow& row : layout) {
        SCOPED_TRACE(row.name);
        const panel::window::Control& control = panel::window::ControlNamed(row.name);
        EXPECT_EQ(control.kind, row.kind);
        EXPECT_EQ(control.group, row.group);
        EXPECT_EQ(control.box, row.box);
        EXPECT_EQ(control.caption, row.caption);
        std::string items;
        for (const std::string& item : control.items) items += (items.empty() ? "" : "|") + item;
        EXPECT_EQ(items, row.items);
        EXPECT_EQ(StateOf(control), row.state);
    }
    for (const panel::Choice choice :
         {panel::Choice::Color, panel::Choice::Brightness, panel::Choice::LcdModel}) {
        EXPECT_EQ(panel::window::ChoiceControl(choice).items.size(),
                  panel::SettingChosenBy(choice).choices);
    }
    const auto& slider = panel::window::ControlNamed("TrackBar1").slider;
    EXPECT_EQ(std::vector<int>({slider.minimum, slider.maximum, slider.page, slider.tick_interval,
                                slider.position}),
              std::vector<int>({0, 255, 32, 1, 128}));

    EXPECT_EQ(window.caption, "Velnor串口液晶屏模块V1.0");
    EXPECT_EQ(window.client, (Box{230, 21, 830, 640}));
    EXPECT_EQ(
        std::vector<int>({window.background.red, window.background.green, window.background.blue,
                          window.font_pixels, window.timer_interval_ms}),
        std::vector<int>({192, 220, 192, 11, 1000}));
    EXPECT_EQ(window.font_face, "MS Sans Serif");
}

TEST(WindowLayoutTest, TabRunsByGroupAsTheLayoutSays) {
    std::vector<std::string_view> tab_order;
    for (const panel::window::Control& control : panel::window::PanelWindow().controls) {
        if (panel::window::TakesFocus(control.kind))
            tab_order.push_back(control.name);
    }
    EXPECT_EQ(tab_order,
              (std::vector<std::string_view>{
                  "ComboBox1", "Button2", "ComboBox2", "Memo1", "RadioGroup1", "RadioGroup2",
                  "CheckBox3", "CheckBox2", "CheckBox1", "Button1", "TrackBar1", "CheckBox4",
                  "Button3", "Button5", "Button6", "Button7", "RadioGroup3", "Button4"}));
    // A control framed by a group box follows it, so that the box is drawn behind it.
    const auto& controls = panel::window::PanelWindow().controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(controls[j].group, controls[i].name);
    }
}

TEST(WindowLayoutTest, EachEventRunsItsHandler) {
    using panel::Panel;
    const struct {
        const char* control;
        panel::window::Handler handler;
    } clicks[] = {
        {"ComboBox1", &Panel::ComboBox1Click},     {"Button2", &Panel::Button2Click},
        {"RadioGroup3", &Panel::RadioGroup3Click}, {"RadioGroup1", &Panel::RadioGroup1Click},
        {"RadioGroup2", &Panel::RadioGroup2Click}, {"Button1", &Panel::Button1Click},
        {"Button4", &Panel::Button4Click},         {"Button3", &Panel::Button3Click},
        {"Button5", &Panel::Button5Click},         {"Button6", &Panel::Button6Click},
        {"Button7", &Panel::Button7Click},         {"CheckBox4", &Panel::CheckBox4Click}};
    int handled = 0;
    for (const panel::window::Control& control : panel::window::PanelWindow().controls) {
        handled += control.on_click != nullptr;
    }
    EXPECT_EQ(handled, std::size(clicks));
    for (const auto& [name, handler] : clicks) {
        EXPECT_TRUE(panel::window::ControlNamed(name).on_click == handler) << name;
    }
    const panel::window::Control& ports = panel::window::ControlNamed("ComboBox1");
    EXPECT_TRUE(ports.on_enter == &Panel::ComboBox1Enter);
    EXPECT_TRUE(ports.on_typing == &Panel::ComboBox1Change);
    const panel::window::Window& window = panel::window::PanelWindow();
    EXPECT_TRUE(window.on_show == &Panel::FormShow);
    EXPECT_TRUE(window.on_timer == &Panel::Timer1Timer);
}

}  // namespace

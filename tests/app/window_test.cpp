// The Qt window's wiring, walked from the window's declaration: each control is built as
// declared, each event reaches the panel, and the panel's view reaches each control. What
// the panel then does is tested through a fake view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "app/qt/form1.h"
#include "app/qt/picture_box.h"
#include "app/qt/radio_group.h"
#include "sim/module_sim.h"
#include "support/fake_view.h"
#include "support/listed_module.h"
#include "support/test_pictures.h"

namespace {

namespace window = panel::window;

// Message boxes that record instead of waiting for a click.
class RecordingBoxes : public MessageBoxes {
public:
    void ShowMessage(const QString& text) override { messages.append(text); }
    void ShowException(const QString& text) override { errors.append(text); }
    QStringList messages;
    QStringList errors;
};

class WindowTest : public ::testing::Test {
protected:
    void StartModule() { m_module = testing_support::StartListedModule(m_platform); }
    void Show() {
        m_form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    }
    template <typename Widget>
    Widget* Control(const char* name) {
        Widget* widget = m_form.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void Click(const char* name) {
        QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton);
    }
    QString Memo() { return Control<QPlainTextEdit>("Memo1")->toPlainText(); }
    QAction* MenuChoice(const char* picture, const QString& caption) {
        QMenu* menu = m_form.ContextMenu(picture);
        menu->deleteLater();
        for (QAction* entry : menu->actions()) {
            if (entry->text() == caption)
                return entry;
            for (QAction* choice : entry->menu() ? entry->menu()->actions() : QList<QAction*>())
                if (choice->text() == caption)
                    return choice;
        }
        return nullptr;
    }

    testing_support::ListedPortsPlatform m_platform;
    RecordingBoxes m_boxes;
    testing_support::FakeClipboard m_clipboard;
    TForm1 m_form{m_platform, m_boxes, m_clipboard};
    std::unique_ptr<sim::PtyModule> m_module;
};

// The caption a control shows, whatever widget its kind is built as.
QString CaptionOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    return {};
}

QStringList ItemsOf(QWidget* widget) {
    QStringList items;
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
    } else if (auto* group = qobject_cast<TRadioGroup*>(widget)) {
        for (int i = 0; group->Button(i) != nullptr; ++i) items.append(group->Button(i)->text());
    }
    return items;
}

int SelectedOf(QWidget* widget) {
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentIndex();
    if (auto* group = qobject_cast<TRadioGroup*>(widget))
        return group->ItemIndex();
    return -1;
}

TEST_F(WindowTest, EveryControlIsBuiltAsDeclared) {
    const window::Window& declared = window::PanelWindow();
    EXPECT_EQ(m_form.windowTitle().toStdString(), declared.caption);
    EXPECT_EQ(m_form.size(), QSize(declared.client.width, declared.client.height));
    EXPECT_EQ(m_form.font().pixelSize(), declared.font_pixels);
    for (const window::Control& control : declared.controls) {
        SCOPED_TRACE(std::string(control.name));
        QWidget* widget = Control<QWidget>(std::string(control.name).c_str());
        ASSERT_NE(widget, nullptr);
        const std::string_view parent = control.group.empty() ? declared.name : control.group;
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), parent);
        const window::Box& box = control.box;
        EXPECT_EQ(widget->geometry(), QRect(box.left, box.top, box.width, box.height));
        if (control.kind != window::Kind::DropDown) {
            EXPECT_EQ(CaptionOf(widget).toStdString(), control.caption);
        }
        QStringList items;
        for (const std::string& item : control.items) items.append(QString::fromStdString(item));
        EXPECT_EQ(ItemsOf(widget), items);
        EXPECT_EQ(SelectedOf(widget), control.selected);
        EXPECT_EQ(widget->isEnabled(), control.enabled);
        EXPECT_EQ(widget->isHidden(), !control.visible);
        if (auto* check_box = qobject_cast<QCheckBox*>(widget)) {
            EXPECT_EQ(check_box->isChecked(), control.checked);
        }
    }
    const auto* slider = Control<QSlider>("TrackBar1");
    const window::SliderRange& range = window::ControlNamed("TrackBar1").slider;
    EXPECT_EQ(
        QList<int>({slider->minimum(), slider->maximum(), slider->pageStep(), slider->value()}),
        QList<int>({range.minimum, range.maximum, range.page, range.position}));
}

// Each declared event, done to its control, reaches its handler once; what the panel then
// does is the fake view's tests' business. The view reads back what the operator chose.
TEST_F(WindowTest, EveryDeclaredEventReachesThePanelOnce) {
    std::vector<window::Forwarded> seen;
    m_form.WatchEvents([&](const window::Forwarded& event) { seen.push_back(event); });
    const auto expect_once = [&](std::string_view control, window::Handler handler,
                                 window::TextHandler text_handler = nullptr) {
        ASSERT_EQ(seen.size(), 1u) << control;
        EXPECT_EQ(seen[0].control, control);
        EXPECT_TRUE(seen[0].handler == handler) << control;
        EXPECT_TRUE(seen[0].text_handler == text_handler) << control;
        seen.clear();
    };
    Show();
    QApplication::setActiveWindow(&m_form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_form));
    const window::Window& declared = window::PanelWindow();
    expect_once(declared.name, declared.on_show);
    for (const window::Control& control : declared.controls) {
        const std::string name(control.name);
        QWidget* widget = Control<QWidget>(name.c_str());
        if (control.on_enter != nullptr) {
            Control<QWidget>("Memo1")->setFocus(Qt::OtherFocusReason);
            widget->setFocus(Qt::TabFocusReason);
            expect_once(control.name, control.on_enter);
        }
        if (control.on_typing != nullptr) {
            QTest::keyClicks(widget, "x");
            expect_once(control.name, nullptr, control.on_typing);
        }
        if (control.on_click == nullptr)
            continue;
        widget->setEnabled(true);
        if (auto* group = qobject_cast<TRadioGroup*>(widget)) {
            QTest::mouseClick(group->Button(1), Qt::LeftButton);
            EXPECT_EQ(m_form.ChosenItem(*control.chooses), 1) << name;
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            emit combo->activated(0);
        } else {
            QTest::mouseClick(widget, Qt::LeftButton);
        }
        if (control.switches) {
            EXPECT_EQ(m_form.IsChecked(*control.switches), !control.checked) << name;
        }
        expect_once(control.name, control.on_click);
    }
    for (const panel::Switch box :
         {panel::Switch::ClipboardMonitor, panel::Switch::ScalePictures, panel::Switch::AutoSend}) {
        QTest::mouseClick(Control<QCheckBox>(std::string(window::SwitchControl(box).name).c_str()),
                          Qt::LeftButton);
        EXPECT_FALSE(m_form.IsChecked(box));
    }
    seen.clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.empty(); }, 3000));
    expect_once(declared.timer, declared.on_timer);
}

// What the panel shows reaches the controls.
TEST_F(WindowTest, ThePanelsViewReachesItsControls) {
    m_form.SetPortList({"/dev/ttyUSB0", "/dev/serial/by-id/usb-a-long-name-port0"});
    m_form.SelectPort(1);
    EXPECT_EQ(m_form.SelectedPort(), 1);
    EXPECT_EQ(m_form.PortText(), "/dev/serial/by-id/usb-a-long-name-port0");
    m_form.SetPortText("/tmp/lcd");
    EXPECT_EQ(Control<QComboBox>("ComboBox1")->currentText(), "/tmp/lcd");
    Control<QComboBox>("ComboBox2")->setCurrentIndex(2);
    EXPECT_EQ(m_form.SpeedText(), "115200");
    m_form.EnableOpenButton();
    EXPECT_TRUE(Control<QPushButton>("Button2")->isEnabled());
    m_form.ShowThresholdSlider(true);
    Control<QSlider>("TrackBar1")->setValue(200);
    EXPECT_FALSE(Control<QSlider>("TrackBar1")->isHidden());
    EXPECT_EQ(m_form.ThresholdSliderPosition(), 200);
    const imaging::Bitmap preview(240, 240, imaging::PixelFormat::Indexed8);
    m_form.ShowPreview(&preview);
    EXPECT_FALSE(Control<PictureBox>("Image2")->IsEmpty());
}

// No port is open: a picture that auto-send passes on shows as the closed port's error.
// Only the timer looks: a picture taken on activation would go out before the click that
// activated the window.
TEST_F(WindowTest, ClipboardIsLookedAtEverySecondNotOnActivationAndAutoSendIsItsBox) {
    auto* timer = m_form.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive() && timer->interval() == 1000);
    timer->stop();
    m_clipboard.Offer(testing_support::RandomPicture(48, 48, 5));
    Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_form));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_clipboard.emptied, 0);

    Control<QCheckBox>("CheckBox1")->setChecked(false);
    timer->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_clipboard.emptied == 1; }, 3000));
    EXPECT_FALSE(Memo().contains("串口未打开")) << Memo().toStdString();

    Control<QCheckBox>("CheckBox1")->setChecked(true);
    m_clipboard.Offer(testing_support::RandomPicture(48, 48, 6));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_clipboard.emptied == 2; }, 3000));
    EXPECT_TRUE(Memo().endsWith("错误：串口未打开。")) << Memo().toStdString();
}

TEST_F(WindowTest, DropsMenusAndMessageBoxesReachThePanel) {
    Show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/no/such/picture.png")});
    // The toolkit delivers a drop only where the drag's entry was accepted.
    QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&m_form, &enter);
    QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&m_form, &drop);
    ASSERT_EQ(m_boxes.errors.size(), 1);
    EXPECT_EQ(m_boxes.errors[0], "无法读取图片“/no/such/picture.png”：文件不存在");

    QAction* save = MenuChoice("Image2", QStringLiteral("保存预览…"));
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->isEnabled());  // nothing binarized yet
    MenuChoice("Image1", "Atkinson")->trigger();
    EXPECT_EQ(m_form.Panel().Dither(), imaging::DitherMethod::Atkinson);
    EXPECT_TRUE(MenuChoice("Image1", "Atkinson")->isChecked());

    Control<QComboBox>("ComboBox2")->setCurrentIndex(-1);
    Control<QPushButton>("Button2")->setEnabled(true);
    Click("Button2");
    EXPECT_EQ(m_boxes.messages, QStringList{"请选择波特率！"});
}

TEST_F(WindowTest, LogShowsLinesAndDropsTheOldest) {
    for (const char* line : {"one", "two\nthree", "four"}) m_form.AppendLogLine(line);
    m_form.RemoveOldestLogLines(2);
    EXPECT_EQ(Memo(), "three\nfour");
}

// The control, or the group a radio button belongs to, that has the focus.
QString Focused() {
    QWidget* widget = QApplication::focusWidget();
    if (widget == nullptr)
        return "none";
    return qobject_cast<QRadioButton*>(widget) ? widget->parentWidget()->objectName()
                                               : widget->objectName();
}

TEST_F(WindowTest, TabRunsThroughEveryControlAndNeverTypesIntoTheLog) {
    Show();
    QApplication::setActiveWindow(&m_form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_form));
    Control<QPushButton>("Button2")->setEnabled(true);
    Control<QComboBox>("ComboBox1")->setFocus(Qt::OtherFocusReason);
    QStringList visited;
    for (int i = 0; i < 40 && visited.value(visited.size() - 1) != "ComboBox1"; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (visited.isEmpty() || visited.last() != Focused())
            visited.append(Focused());
    }
    QStringList expected;  // the declared order from the open button on, hidden ones skipped
    for (const window::Control& control : window::PanelWindow().controls) {
        if (window::TakesFocus(control.kind) && control.visible && control.name != "ComboBox1")
            expected.append(QString::fromUtf8(control.name.data(), control.name.size()));
    }
    expected.append("ComboBox1");
    EXPECT_EQ(visited, expected);
    EXPECT_TRUE(Memo().isEmpty());
}

}  // namespace

// The Qt window's wiring: each kind of control reaches the panel, and the panel's view
// reaches each control. What the panel then does is tested through a fake view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
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
        QMenu* menu = m_form.PictureMenu(Control<PictureBox>(picture));
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

TEST_F(WindowTest, EachKindOfControlReachesThePanel) {
    StartModule();
    EXPECT_FALSE(Control<QPushButton>("Button2")->isEnabled());
    EXPECT_EQ(Control<QComboBox>("ComboBox1")->currentText(), "");  // "COM" means nothing here
    Show();  // the scan fills the port list and enables the open button
    auto* ports = Control<QComboBox>("ComboBox1");
    EXPECT_EQ(ports->currentText().toStdString(), m_module->SlavePath());
    Control<QComboBox>("ComboBox2")->setCurrentIndex(2);
    Click("Button2");
    EXPECT_TRUE(Memo().endsWith("初始化成功，双方的当前波特率：115200")) << Memo().toStdString();

    QTest::mouseClick(Control<TRadioGroup>("RadioGroup2")->Button(7), Qt::LeftButton);
    EXPECT_EQ(m_module->ReceivedLines().back(), "set color to: 7");
    Click("Button5");
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_FALSE(Control<PictureBox>("Image2")->IsEmpty());

    Click("CheckBox4");  // the slider shows, and its position is the threshold
    auto* slider = Control<QSlider>("TrackBar1");
    EXPECT_TRUE(slider->isVisible());
    slider->setValue(200);
    EXPECT_EQ(m_form.Panel().Threshold(), 200);

    sim::PtyModule other({});  // moving into the port list scans again
    m_platform.ports.push_back(other.SlavePath());
    ports->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->currentText().toStdString(), other.SlavePath());
}

TEST_F(WindowTest, TypedPortNameEnablesOpen) {
    Show();  // nothing to list
    auto* ports = Control<QComboBox>("ComboBox1");
    QTest::keyClicks(ports, "/tmp/lcd");
    EXPECT_TRUE(Control<QPushButton>("Button2")->isEnabled());
    EXPECT_EQ(ports->currentText(), "/tmp/lcd");
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
    EXPECT_EQ(visited, (QStringList{"Button2", "ComboBox2", "Memo1", "RadioGroup1", "RadioGroup2",
                                    "CheckBox3", "CheckBox2", "CheckBox1", "Button1", "CheckBox4",
                                    "Button3", "Button5", "Button6", "Button7", "RadioGroup3",
                                    "Button4", "ComboBox1"}));
    EXPECT_TRUE(Memo().isEmpty());
}

}  // namespace

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/error_display.h"
#include "support/form_fixture.h"

namespace {

using testing_support::FormFixture;

class LinkWindowTest : public FormFixture {};

TEST_F(LinkWindowTest, OpenButtonConnectsToTheModuleTheScanFound) {
    StartModule();
    Show();
    EXPECT_EQ(m_form.ComboBox1->currentText().toStdString(), m_module->SlavePath());
    ASSERT_TRUE(m_form.Button2->isEnabled());
    Click(m_form.Button2);
    EXPECT_EQ(MemoLines(), (QStringList{"baudrate 2400...", "yes, current baudrate is: 2400",
                                        "baudrate 2400...", "yes, current baudrate is: 2400",
                                        "baudrate 921600...", "yes, current baudrate is: 921600",
                                        "初始化成功，双方的当前波特率：921600"}));
    EXPECT_EQ(m_module->Baud(), 921600);
    EXPECT_TRUE(m_boxes.messages.isEmpty() && m_boxes.errors.isEmpty());
}

TEST_F(LinkWindowTest, NoSpeedChosenAsksForOneAndTouchesNothing) {
    StartModule();
    Show();
    m_form.ComboBox2->setCurrentIndex(-1);
    Click(m_form.Button2);
    EXPECT_EQ(m_boxes.messages, QStringList{"请选择波特率！"});
    EXPECT_TRUE(m_form.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(ModuleLines().empty());
}

TEST_F(LinkWindowTest, SpeedTextThatIsNoNumberIsShownAndTheWindowCarriesOn) {
    StartModule();
    Show();
    m_form.ComboBox2->setEditText("fast");
    ASSERT_EQ(m_form.ComboBox2->currentIndex(), 3);  // typing does not unselect the entry
    Click(m_form.Button2);
    EXPECT_EQ(m_boxes.errors, QStringList{"'fast' is not a valid integer value"});
    EXPECT_EQ(MemoLines(), (QStringList{"baudrate 2400...", "yes, current baudrate is: 2400"}));
    EXPECT_TRUE(m_form.Link().IsOpen());
    m_form.ComboBox2->setCurrentIndex(2);  // the loop goes on: the next press connects
    Click(m_form.Button2);
    EXPECT_EQ(MemoLines().last(), "初始化成功，双方的当前波特率：115200");
}

TEST_F(LinkWindowTest, ScanSelectsTheHighestPortAndLeavesTheConnectedOneOut) {
    StartModule();
    sim::PtyModule other({});
    m_platform.ports.push_back(other.SlavePath());
    EXPECT_FALSE(m_form.Button2->isEnabled());
    Show();
    ASSERT_EQ(m_form.ComboBox1->count(), 2);
    EXPECT_EQ(m_form.ComboBox1->currentIndex(), 1);
    EXPECT_TRUE(m_form.Button2->isEnabled());

    m_form.ComboBox1->setCurrentIndex(0);
    Click(m_form.Button2);
    ASSERT_TRUE(m_form.Link().IsOpen());
    // Moving into the selector rescans while the link is up: the held port is gone.
    m_form.ComboBox1->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(m_form.ComboBox1->count(), 1);
    EXPECT_EQ(m_form.ComboBox1->currentText().toStdString(), other.SlavePath());
    EXPECT_TRUE(m_form.Link().IsOpen());

    m_platform.ports.clear();
    m_form.ComboBox1Enter();  // an empty scan never disables the open button again
    EXPECT_TRUE(m_form.Button2->isEnabled());
}

TEST_F(LinkWindowTest, PickingAPortEnablesTheOpenButton) {
    m_form.ComboBox1->addItem("ttyUSB0");
    m_form.ComboBox1->setCurrentIndex(0);
    EXPECT_FALSE(m_form.Button2->isEnabled());
    m_form.ComboBox1Click();
    EXPECT_TRUE(m_form.Button2->isEnabled());
}

// The control, or the group a radio button belongs to, that has the focus.
QString Focused() {
    QWidget* widget = QApplication::focusWidget();
    if (widget == nullptr) return "none";
    return qobject_cast<QRadioButton*>(widget) ? widget->parentWidget()->objectName()
                                               : widget->objectName();
}

TEST_F(LinkWindowTest, TabRunsThroughEveryControlAndNeverTypesIntoTheLog) {
    Show();
    QApplication::setActiveWindow(&m_form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_form));
    m_form.Button2->setEnabled(true);
    m_form.ComboBox1->setFocus(Qt::OtherFocusReason);
    QStringList visited;
    for (int i = 0; i < 40 && visited.value(visited.size() - 1) != "ComboBox1"; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (visited.isEmpty() || visited.last() != Focused()) visited.append(Focused());
    }
    EXPECT_EQ(visited, (QStringList{"Button2", "ComboBox2", "Memo1", "RadioGroup1", "RadioGroup2",
                                    "CheckBox3", "CheckBox2", "CheckBox1", "Button1", "CheckBox4",
                                    "Button3", "Button5", "Button6", "Button7", "RadioGroup3",
                                    "Button4", "ComboBox1"}));
    EXPECT_TRUE(m_form.Memo1->toPlainText().isEmpty());
}

TEST(ErrorDisplayTest, AnErrorEndsTheHandlerAndIsShownWithItsMessage) {
    testing_support::RecordingBoxes boxes;
    bool ran_on = false;
    RunGuarded(boxes, [&] {
        throw std::runtime_error("JPEG error #53");
        ran_on = true;
    });
    RunGuarded(boxes, [] { throw 42; });
    RunGuarded(boxes, [] {});
    EXPECT_FALSE(ran_on);
    EXPECT_EQ(boxes.errors, (QStringList{"JPEG error #53", ""}));
}

}  // namespace

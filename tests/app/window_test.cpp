// The window: the link, the commands, the patterns, the threshold and the tab order.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>

#include "app/radio_group.h"
#include "support/form_fixture.h"

namespace {

using imaging::Bitmap;
using imaging::PixelFormat;
using testing_support::FormFixture;
using Frame = std::vector<std::uint8_t>;

constexpr std::size_t kFrameBytes = 28800;

class WindowTest : public FormFixture {
protected:
    bool AllPixels(const Bitmap& picture, std::uint8_t index) {
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                if (picture.Row(y)[x] != index)
                    return false;
        return true;
    }
    void PutGrayPicture(std::uint8_t level) {
        Bitmap picture(480, 480, PixelFormat::Bgr24);
        std::fill(picture.Bits(), picture.Bits() + picture.Stride() * 480, level);
        m_form.Image1->SetBitmap(picture);
    }
};

TEST_F(WindowTest, NoSpeedChosenAsksForOneAndTouchesNothing) {
    StartModule();
    Show();
    m_form.ComboBox2->setCurrentIndex(-1);
    Click(m_form.Button2);
    EXPECT_EQ(m_boxes.messages, QStringList{"请选择波特率！"});
    EXPECT_TRUE(m_form.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(ModuleLines().empty());
}

TEST_F(WindowTest, SpeedTextThatIsNoNumberIsShownAndTheWindowCarriesOn) {
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

TEST_F(WindowTest, ScanSelectsTheHighestPortAndLeavesTheConnectedOneOut) {
    StartModule();
    sim::PtyModule other({});
    m_platform.ports.push_back(other.SlavePath());
    EXPECT_FALSE(m_form.Button2->isEnabled());
    Show();
    ASSERT_EQ(m_form.ComboBox1->count(), 2);
    EXPECT_TRUE(m_form.ComboBox1->currentIndex() == 1 && m_form.Button2->isEnabled());

    m_form.ComboBox1->setCurrentIndex(0);
    Click(m_form.Button2);
    ASSERT_TRUE(m_form.Link().IsOpen());
    // Moving into the selector rescans while the link is up: the held port is gone.
    m_form.ComboBox1->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(m_form.ComboBox1->count(), 1);
    EXPECT_TRUE(m_form.ComboBox1->currentText().toStdString() == other.SlavePath() &&
                m_form.Link().IsOpen());

    m_platform.ports.clear();
    m_form.ComboBox1Enter();  // an empty scan never disables the open button again
    EXPECT_TRUE(m_form.Button2->isEnabled());
}

TEST_F(WindowTest, PickingAPortEnablesTheOpenButton) {
    m_form.ComboBox1->addItem("ttyUSB0");
    EXPECT_FALSE(m_form.Button2->isEnabled());
    m_form.ComboBox1Click();
    EXPECT_TRUE(m_form.Button2->isEnabled());
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
    m_form.Button2->setEnabled(true);
    m_form.ComboBox1->setFocus(Qt::OtherFocusReason);
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
    EXPECT_TRUE(m_form.Memo1->toPlainText().isEmpty());
}

TEST_F(WindowTest, RadioChoicesSendTheirIndexOnce) {
    StartModule();
    Connect();
    Click(m_form.RadioGroup2->Button(7));  // 白
    Click(m_form.RadioGroup2->Button(7));  // the same choice again sends nothing
    Click(m_form.RadioGroup3->Button(0));  // 1未实现
    Click(m_form.RadioGroup1->Button(2));
    const auto lines = ModuleLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
              (std::vector<std::string>{"set color to: 7", "set LCD model to: 0",
                                        "set brightness to: 2"}));
}

TEST_F(WindowTest, EachPatternReachesTheModuleAndBothPictures) {
    StartModule();
    Connect();
    const std::pair<QPushButton*, std::uint8_t> patterns[] = {{m_form.Button3, 0x0F},
                                                              {m_form.Button5, 0xFE},
                                                              {m_form.Button6, 0xFF},
                                                              {m_form.Button7, 0}};
    int frames = 0;
    for (const auto& [button, fill] : patterns) {
        SCOPED_TRACE(button->text().toStdString());
        PutGrayPicture(200);
        Click(button);
        ASSERT_TRUE(m_module->WaitForFrames(++frames, std::chrono::seconds(5)));
        EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, fill));
        for (PictureBox* box : {m_form.Image1, m_form.Image2}) {
            const Bitmap& shown = Shown(box);
            ASSERT_EQ(std::tuple(shown.Width(), shown.Format()),
                      std::tuple(480, PixelFormat::Indexed8));
            for (int x = 0; x < 8; ++x)  // the fill's bits, leftmost pixel first
                EXPECT_EQ(shown.Row(479)[472 + x], (fill << x) & 0x80 ? 255 : 0) << x;
        }
    }
    // Sent back as a picture with the automatic threshold, a pattern comes back unchanged.
    Click(m_form.Button5);
    Click(m_form.Button1);
    ASSERT_TRUE(m_module->WaitForFrames(frames + 2, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, 0xFE));
}

TEST_F(WindowTest, WithoutAPortNothingIsSentAndNoPictureChanges) {
    StartModule();
    Show();
    PutGrayPicture(200);
    const imaging::TGraphic* before = m_form.Image1->Graphic();
    const QList<QAbstractButton*> actions = {m_form.Button3, m_form.Button7, m_form.Button1,
                                             m_form.RadioGroup1->Button(1)};
    for (QAbstractButton* b : actions) Click(b);
    EXPECT_EQ(m_form.Image1->Graphic(), before);
    EXPECT_EQ(m_form.Image2->Graphic(), nullptr);
    EXPECT_EQ(MemoLines(), QStringList(4, "错误：串口未打开。"));
    EXPECT_TRUE(m_module->Transcript().empty());
}

TEST_F(WindowTest, SliderThresholdAppliesOnlyWhileShown) {
    Show();
    PutGrayPicture(130);
    EXPECT_EQ(m_form.Threshold(), 0);
    Click(m_form.CheckBox4);
    ASSERT_FALSE(m_form.TrackBar1->isHidden());
    EXPECT_EQ(m_form.Threshold(), 128);
    Click(m_form.Button4);  // 130 > 128: all light, no mean logged
    EXPECT_TRUE(AllPixels(Shown(m_form.Image2), 255));
    EXPECT_TRUE(m_form.Memo1->toPlainText().isEmpty());

    m_form.TrackBar1->setValue(0);  // the slider at 0 means automatic
    Click(m_form.Button4);
    EXPECT_EQ(MemoLines(), QStringList{"平均灰度：50%"});
    EXPECT_TRUE(AllPixels(Shown(m_form.Image2), 0));
    Click(m_form.CheckBox4);
    EXPECT_TRUE(m_form.TrackBar1->isHidden());
}

// A picture whose pixels cannot be had, like a JPEG that fails to decode.
class BrokenGraphic : public imaging::TBitmapGraphic {
public:
    void AssignTo(Bitmap&) override { throw imaging::EInvalidGraphic("JPEG error #42"); }
};

TEST_F(WindowTest, PictureThatFailsToPrepareEndsTheSendBeforeThePayload) {
    StartModule();
    Connect();
    m_form.Image1->SetGraphic(std::make_unique<BrokenGraphic>());
    Click(m_form.Button1);
    EXPECT_EQ(m_boxes.errors, QStringList{"JPEG error #42"});
    EXPECT_EQ(ModuleLines().back(), "pixels: 0,0,480,480");
    EXPECT_EQ(m_module->FramesReceived(), 0);
    EXPECT_EQ(m_form.Image2->Graphic(), nullptr);
}

}  // namespace

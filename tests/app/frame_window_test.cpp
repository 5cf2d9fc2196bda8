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

class FrameWindowTest : public FormFixture {
protected:
    bool AllPixels(const Bitmap& picture, std::uint8_t index) {
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                if (picture.Row(y)[x] != index) return false;
        return true;
    }
    void PutGrayPicture(std::uint8_t level) {
        Bitmap picture(480, 480, PixelFormat::Bgr24);
        std::fill(picture.Bits(), picture.Bits() + picture.Stride() * 480, level);
        m_form.Image1->SetBitmap(picture);
    }
};

TEST_F(FrameWindowTest, WindowStartsWithItsDefaults) {
    EXPECT_EQ(m_form.size(), QSize(830, 640));
    EXPECT_EQ(m_form.minimumSize(), m_form.maximumSize());
    EXPECT_EQ(m_form.windowTitle(), "Velnor串口液晶屏模块V1.0");
    EXPECT_EQ(m_form.ComboBox1->currentText(), "COM");
    EXPECT_EQ(m_form.ComboBox2->currentText(), "921600");
    EXPECT_FALSE(m_form.Button2->isEnabled());
    for (QCheckBox* box : {m_form.CheckBox1, m_form.CheckBox2, m_form.CheckBox3, m_form.CheckBox4})
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_TRUE(m_form.TrackBar1->isHidden());
    for (TRadioGroup* group : {m_form.RadioGroup1, m_form.RadioGroup2, m_form.RadioGroup3})
        EXPECT_EQ(group->ItemIndex(), -1);
}

TEST_F(FrameWindowTest, RadioChoicesSendTheirIndexOnce) {
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

TEST_F(FrameWindowTest, EachPatternReachesTheModuleAndBothPictures) {
    StartModule();
    Connect();
    const std::pair<QPushButton*, std::uint8_t> patterns[] = {
        {m_form.Button3, 0x0F}, {m_form.Button5, 0xFE}, {m_form.Button6, 0xFF}, {m_form.Button7, 0}};
    int frames = 0;
    for (const auto& [button, fill] : patterns) {
        SCOPED_TRACE(button->text().toStdString());
        PutGrayPicture(200);
        Click(button);
        ASSERT_TRUE(m_module->WaitForFrames(++frames, std::chrono::seconds(5)));
        EXPECT_EQ(m_module->LastFrame(), Frame(kFrameBytes, fill));
        for (PictureBox* box : {m_form.Image1, m_form.Image2}) {
            const Bitmap& shown = Shown(box);
            ASSERT_EQ(std::tuple(shown.Width(), shown.Format()), std::tuple(480, PixelFormat::Indexed8));
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

TEST_F(FrameWindowTest, WithoutAPortNothingIsSentAndNoPictureChanges) {
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

TEST_F(FrameWindowTest, SliderThresholdAppliesOnlyWhileShown) {
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

TEST_F(FrameWindowTest, PictureThatFailsToPrepareEndsTheSendBeforeThePayload) {
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

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

#include "app/picture_box.h"
#include "app/radio_group.h"
#include "form_fixture.h"

namespace {

using imaging::Bitmap;
using imaging::PixelFormat;
using testing_support::FormFixture;

constexpr std::size_t kFrameBytes = 28800;

class FrameWindowTest : public FormFixture {
protected:
    const Bitmap& Shown(PictureBox* box) {
        return dynamic_cast<imaging::TBitmapGraphic&>(*box->Graphic()).GetBitmap();
    }
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

TEST_F(FrameWindowTest, RadioChoicesSendTheirIndexOnce) {
    StartModule();
    Connect();
    const std::size_t hellos = ModuleLines().size();
    Click(m_form.RadioGroup2->Button(7));  // 白
    Click(m_form.RadioGroup2->Button(7));  // the same choice again sends nothing
    Click(m_form.RadioGroup3->Button(0));  // 1未实现
    Click(m_form.RadioGroup1->Button(2));
    const auto lines = ModuleLines();
    ASSERT_EQ(hellos, 3u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
              (std::vector<std::string>{"set color to: 7", "set LCD model to: 0",
                                        "set brightness to: 2"}));
    EXPECT_EQ(m_module->Color(), 7);
}

TEST_F(FrameWindowTest, RadioChoiceWithoutAPortLogsTheErrorOnce) {
    Show();
    Click(m_form.RadioGroup1->Button(1));
    EXPECT_EQ(MemoLines(), QStringList{"错误：串口未打开。"});
}

TEST_F(FrameWindowTest, ClearScreenBlackensBothPicturesAndSendsZeros) {
    StartModule();
    Connect();
    PutGrayPicture(200);
    Click(m_form.Button7);
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), std::vector<std::uint8_t>(kFrameBytes, 0));
    for (PictureBox* box : {m_form.Image1, m_form.Image2}) {
        const Bitmap& shown = Shown(box);
        EXPECT_EQ(shown.Format(), PixelFormat::Indexed8);
        EXPECT_EQ(shown.Width(), 480);
        EXPECT_TRUE(AllPixels(shown, 0));
    }
}

TEST_F(FrameWindowTest, PatternsWithoutAPortSendNothingAndChangeNoPicture) {
    StartModule();
    Show();
    PutGrayPicture(200);
    const imaging::TGraphic* before = m_form.Image1->Graphic();
    for (QPushButton* b :
         {m_form.Button3, m_form.Button5, m_form.Button6, m_form.Button7, m_form.Button1})
        Click(b);
    EXPECT_EQ(m_form.Image1->Graphic(), before);
    EXPECT_EQ(m_form.Image2->Graphic(), nullptr);
    EXPECT_EQ(MemoLines().size(), 5);
    EXPECT_TRUE(m_module->Transcript().empty());
}

TEST_F(FrameWindowTest, ThinLinesPatternComesBackUnchangedWhenSentAsPicture) {
    StartModule();
    Connect();
    Click(m_form.Button5);
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), std::vector<std::uint8_t>(kFrameBytes, 0xFE));
    const Bitmap& image1 = Shown(m_form.Image1);
    EXPECT_EQ(image1.Row(10)[7], 0);
    EXPECT_EQ(image1.Row(10)[8], 255);

    Click(m_form.Button1);  // automatic threshold: the pattern survives the round trip
    ASSERT_TRUE(m_module->WaitForFrames(2, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), std::vector<std::uint8_t>(kFrameBytes, 0xFE));
    EXPECT_TRUE(MemoLines().join('\n').contains("平均灰度："));
}

TEST_F(FrameWindowTest, SliderThresholdAppliesOnlyWhileShown) {
    Show();
    PutGrayPicture(130);
    EXPECT_TRUE(m_form.TrackBar1->isHidden());
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

TEST_F(FrameWindowTest, WindowStartsInItsDocumentedState) {
    EXPECT_EQ(m_form.size(), QSize(830, 640));
    EXPECT_EQ(m_form.minimumSize(), m_form.maximumSize());
    EXPECT_EQ(m_form.windowTitle(), "Velnor串口液晶屏模块V1.0");
    EXPECT_EQ(m_form.palette().color(QPalette::Window), QColor(192, 220, 192));
    EXPECT_FALSE(m_form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(m_form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(m_form.ComboBox1->currentText(), "COM");
    EXPECT_EQ(m_form.ComboBox2->currentText(), "921600");
    EXPECT_EQ(m_form.ComboBox2->count(), 7);
    EXPECT_FALSE(m_form.Button2->isEnabled());
    for (QCheckBox* box : {m_form.CheckBox1, m_form.CheckBox2, m_form.CheckBox3, m_form.CheckBox4})
        EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(m_form.TrackBar1->value(), 128);
    EXPECT_EQ(m_form.TrackBar1->maximum(), 255);
    EXPECT_EQ(m_form.TrackBar1->pageStep(), 32);
    for (TRadioGroup* group : {m_form.RadioGroup1, m_form.RadioGroup2, m_form.RadioGroup3})
        EXPECT_EQ(group->ItemIndex(), -1);

    const std::map<QString, QRect> geometry = {
        {"Image1", {23, 156, 480, 480}},      {"Image2", {562, 161, 240, 240}},
        {"GroupBox2", {22, 8, 361, 97}},      {"ComboBox1", {50, 23, 65, 21}},
        {"ComboBox2", {181, 23, 89, 21}},     {"Button2", {288, 21, 57, 25}},
        {"Label3", {16, 48, 217, 13}},        {"RadioGroup2", {22, 111, 297, 44}},
        {"RadioGroup1", {326, 111, 201, 44}}, {"RadioGroup3", {534, 111, 169, 44}},
        {"Button4", {716, 128, 88, 25}},      {"GroupBox3", {390, 8, 420, 97}},
        {"CheckBox2", {22, 16, 90, 17}},      {"TrackBar1", {104, 41, 313, 24}},
        {"Button1", {24, 64, 64, 25}},        {"Button7", {336, 64, 64, 25}},
        {"Memo1", {560, 410, 241, 225}}};
    for (const auto& [name, rect] : geometry) {
        const QWidget* widget = m_form.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name.toStdString();
        EXPECT_EQ(widget->geometry(), rect) << name.toStdString();
    }
}

}  // namespace

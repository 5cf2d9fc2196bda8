#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>

#include <random>

#include "app/picture_box.h"
#include "form_fixture.h"
#include "test_pictures.h"
#include "imaging/jpeg_image.h"

namespace {

using imaging::Bitmap;
using testing_support::ExpectedFrame;
using testing_support::FormFixture;
using testing_support::RandomPicture;

class PictureSourcesTest : public FormFixture {
protected:
    const Bitmap& Image1Pixels() { return m_form.Image1->Graphic()->DrawingBitmap(); }
    QRgb Image1At(int x, int y) {
        const std::uint8_t* p = Image1Pixels().Row(y) + 3 * x;
        return qRgb(p[2], p[1], p[0]);
    }
};

TEST_F(PictureSourcesTest, WidePictureWithScalingIsItsLeftHalfAndIsSentAtOnce) {
    StartModule();
    Connect();
    const QImage wide = RandomPicture(960, 480, 5);
    m_clipboard.Offer(wide);
    m_form.Timer1Timer();
    EXPECT_EQ(m_clipboard.emptied, 1);
    EXPECT_FALSE(m_clipboard.HasBitmap());
    for (const QPoint p : {QPoint(0, 0), QPoint(479, 0), QPoint(200, 300), QPoint(479, 479)})
        EXPECT_EQ(Image1At(p.x(), p.y()), wide.pixel(p)) << p.x() << "," << p.y();
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(wide));

    m_form.Timer1Timer();  // the clipboard is empty now: nothing more is taken
    EXPECT_EQ(m_module->FramesReceived(), 1);
}

TEST_F(PictureSourcesTest, SmallPictureWithScalingIsCroppedSquareAndStretched) {
    Show();
    QImage small(200, 100, QImage::Format_RGB32);
    small.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 50; ++x) small.setPixel(x, y, qRgb(255, 0, 0));
    m_form.CheckBox1->setChecked(false);
    m_clipboard.Offer(small);
    m_form.Timer1Timer();
    // The left 100 x 100 fills the screen: its red half becomes the left 240 columns.
    EXPECT_EQ(Image1At(100, 240), qRgb(255, 0, 0));
    EXPECT_EQ(Image1At(380, 240), qRgb(0, 0, 255));
    EXPECT_EQ(Image1At(479, 479), qRgb(0, 0, 255));
}

TEST_F(PictureSourcesTest, WithoutScalingThePictureIsDrawnAtOneToOneOnWhite) {
    Show();
    m_form.CheckBox3->setChecked(false);
    m_form.CheckBox1->setChecked(false);
    const QImage picture = RandomPicture(100, 600, 9);
    m_clipboard.Offer(picture);
    m_form.Timer1Timer();
    EXPECT_EQ(Image1At(99, 479), picture.pixel(99, 479));
    EXPECT_EQ(Image1At(100, 0), qRgb(255, 255, 255));
    EXPECT_EQ(Image1Pixels().Height(), 480);
}

TEST_F(PictureSourcesTest, MonitorOffLeavesTheClipboardAlone) {
    Show();
    const imaging::TGraphic* demo = m_form.Image1->Graphic();
    Click(m_form.CheckBox2);
    m_clipboard.Offer(RandomPicture(10, 10, 1));
    m_form.Timer1Timer();
    EXPECT_TRUE(m_clipboard.HasBitmap());
    EXPECT_EQ(m_form.Image1->Graphic(), demo);
}

TEST_F(PictureSourcesTest, AutoSendWithoutAPortLogsOncePerPicture) {
    Show();
    for (int i = 0; i < 2; ++i) {
        m_clipboard.Offer(RandomPicture(480, 480, i));
        m_form.Timer1Timer();
        m_form.Timer1Timer();
    }
    EXPECT_EQ(MemoLines(), (QStringList{"错误：串口未打开。", "错误：串口未打开。"}));
}

TEST_F(PictureSourcesTest, UnreadablePictureIsReportedOnceAndLeftAlone) {
    Show();
    m_clipboard.Offer(RandomPicture(10, 10, 1), false);
    QTest::qWait(2500);  // the timer's own ticks
    EXPECT_EQ(m_boxes.errors, QStringList{"The clipboard's picture cannot be read"});
    EXPECT_EQ(m_form.Image1->Graphic(), nullptr);
    EXPECT_EQ(m_clipboard.emptied, 0);  // another program's data stays

    m_clipboard.Offer(RandomPicture(480, 480, 2));  // a new copy is taken as usual
    m_form.CheckBox1->setChecked(false);
    m_form.Timer1Timer();
    EXPECT_EQ(m_clipboard.emptied, 1);
    EXPECT_NE(m_form.Image1->Graphic(), nullptr);
}

TEST_F(PictureSourcesTest, DemoPictureLoadsAtShowAndDecodesOnce) {
    int decodes = 0;
    m_form.show();  // the show loads the picture; painting waits for the event loop
    auto* jpeg = dynamic_cast<imaging::TJPEGImage*>(m_form.Image1->Graphic());
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->Width(), 480);
    EXPECT_EQ(jpeg->Height(), 480);
    EXPECT_TRUE(m_boxes.errors.isEmpty());
    // A decode ends by telling the picture's observer; count them from here.
    const auto repaint = jpeg->OnChange;
    jpeg->OnChange = [&] {
        ++decodes;
        repaint();
    };
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_form));
    QTest::qWait(50);
    EXPECT_EQ(decodes, 1) << "the first paint decodes";

    Click(m_form.Button4);  // the preview reuses the decoded bitmap
    Click(m_form.Button4);
    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(MemoLines().size(), 2);
    EXPECT_TRUE(MemoLines()[0].startsWith("平均灰度："));
}

TEST_F(PictureSourcesTest, PaletteAndOneBitPicturesAreScaledToo) {
    Show();
    m_form.CheckBox1->setChecked(false);
    for (const QImage::Format format : {QImage::Format_Indexed8, QImage::Format_Mono}) {
        QImage picture(960, 480, format);
        picture.setColorCount(2);
        picture.setColor(0, qRgb(255, 0, 0));
        picture.setColor(1, qRgb(0, 0, 255));
        picture.fill(1);
        m_clipboard.Offer(picture);
        m_form.Timer1Timer();
        EXPECT_EQ(Image1At(240, 240), qRgb(0, 0, 255));
    }
}

TEST(DemoPictureMissingTest, MessageIsShownAndTheWindowStaysWithAnEmptyPicture) {
    QTemporaryDir empty;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(empty.path()));
    testing_support::ListedPortsPlatform platform;
    testing_support::RecordingBoxes boxes;
    testing_support::FakeClipboard clipboard;
    {
        TForm1 form(platform, boxes, clipboard);
        form.show();
        EXPECT_EQ(boxes.errors.size(), 1);
        EXPECT_TRUE(boxes.errors.value(0).contains("demo480x480-4.jpg"));
        EXPECT_EQ(form.Image1->Graphic(), nullptr);
        form.Button4Click();  // an empty picture extends to white
        EXPECT_EQ(form.Memo1->toPlainText(), "平均灰度：100%");
    }
    QDir::setCurrent(previous);
}

}  // namespace

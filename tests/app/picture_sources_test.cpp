#include <sys/stat.h>

#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "imaging/jpeg_image.h"
#include "support/form_fixture.h"
#include "support/test_pictures.h"

namespace {

using testing_support::FormFixture;
using testing_support::RandomPicture;

class PictureSourcesTest : public FormFixture {
protected:
    QRgb Image1At(int x, int y) {
        const std::uint8_t* p = Shown(m_form.Image1).Row(y) + 3 * x;
        return qRgb(p[2], p[1], p[0]);
    }
    void Take(const QImage& picture) {
        m_clipboard.Offer(picture);
        m_form.Timer1Timer();
    }
};

TEST_F(PictureSourcesTest, ScalingCropsTheTopLeftSquareAndStretchesIt) {
    Show();
    m_form.CheckBox1->setChecked(false);
    // Left (or top) quarter red, the rest blue; the square crop keeps the top-left corner.
    for (const QSize size : {QSize(200, 100), QSize(100, 200), QSize(1000, 2000)}) {
        SCOPED_TRACE(::testing::Message() << size.width() << "x" << size.height());
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(qRgb(0, 0, 255));
        const int side = std::min(size.width(), size.height());
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side / 2; ++x) picture.setPixel(x, y, qRgb(255, 0, 0));
        Take(picture);
        EXPECT_FALSE(m_clipboard.HasBitmap());            // taken once: the clipboard is empty
        EXPECT_EQ(Image1At(100, 470), qRgb(255, 0, 0));  // the square's left half fills
        EXPECT_EQ(Image1At(380, 470), qRgb(0, 0, 255));  // the left 240 columns
    }
}

TEST_F(PictureSourcesTest, WithoutScalingThePictureIsDrawnAtOneToOneOnWhite) {
    Show();
    m_form.CheckBox3->setChecked(false);
    m_form.CheckBox1->setChecked(false);
    const QImage picture = RandomPicture(100, 600, 9);
    Take(picture);
    EXPECT_EQ(Image1At(99, 479), picture.pixel(99, 479));
    EXPECT_EQ(Image1At(100, 0), qRgb(255, 255, 255));
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
        Take(picture);
        EXPECT_EQ(Image1At(240, 240), qRgb(0, 0, 255));
    }
}

TEST_F(PictureSourcesTest, MonitorOffLeavesTheClipboardAlone) {
    Show();
    const imaging::TGraphic* demo = m_form.Image1->Graphic();
    Click(m_form.CheckBox2);
    Take(RandomPicture(10, 10, 1));
    EXPECT_TRUE(m_clipboard.HasBitmap());
    EXPECT_EQ(m_form.Image1->Graphic(), demo);
}

TEST_F(PictureSourcesTest, UnreadablePictureIsReportedOnceAndChangesNothing) {
    Show();
    const imaging::TGraphic* demo = m_form.Image1->Graphic();
    m_clipboard.Offer(RandomPicture(10, 10, 1), false);
    QTest::qWait(2500);  // the timer's own ticks
    EXPECT_EQ(m_boxes.errors, QStringList{"The clipboard's picture cannot be read: not a picture"});
    EXPECT_EQ(m_form.Image1->Graphic(), demo);
    EXPECT_EQ(m_clipboard.emptied, 0);  // another program's data stays

    m_form.CheckBox1->setChecked(false);
    Take(RandomPicture(480, 480, 2));  // a new copy is taken as usual
    EXPECT_EQ(m_clipboard.emptied, 1);
    EXPECT_NE(m_form.Image1->Graphic(), demo);
}

TEST_F(PictureSourcesTest, DemoPictureLoadsAtShowAndDecodesOnce) {
    int decodes = 0;
    m_form.show();  // the show loads the picture; painting waits for the event loop
    auto* jpeg = dynamic_cast<imaging::TJPEGImage*>(m_form.Image1->Graphic());
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(std::tuple(jpeg->Width(), jpeg->Height()), std::tuple(480, 480));
    const auto repaint = jpeg->OnChange;  // a decode ends by telling the picture's observer
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
    EXPECT_TRUE(MemoLines()[0].startsWith("平均灰度："));
}

TEST(DemoPictureProblemTest, MessageNamesTheProblemAndTheWindowStaysWithAnEmptyPicture) {
    // Each kind of file the reader refuses is its own test; here, what the window makes of it.
    const std::pair<const char*, const char*> problems[] = {{"missing", "No such file"},
                                                            {"fifo", "not a regular file"}};
    const QString previous = QDir::currentPath();
    for (const auto& [problem, reason] : problems) {
        SCOPED_TRACE(problem);
        QTemporaryDir folder;
        ASSERT_TRUE(QDir::setCurrent(folder.path()));
        const std::string name = TForm1::kDemoPicture;
        if (problem == std::string("fifo")) {
            ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
        }
        testing_support::ListedPortsPlatform platform;
        testing_support::RecordingBoxes boxes;
        testing_support::FakeClipboard clipboard;
        TForm1 form(platform, boxes, clipboard);
        form.show();
        ASSERT_EQ(boxes.errors.size(), 1);
        EXPECT_TRUE(boxes.errors[0].contains(name.c_str()) && boxes.errors[0].contains(reason))
            << boxes.errors[0].toStdString();
        EXPECT_EQ(form.Image1->Graphic(), nullptr);
        form.Button4Click();  // an empty picture extends to white
        EXPECT_EQ(form.Memo1->toPlainText(), "平均灰度：100%");
    }
    QDir::setCurrent(previous);
}

}  // namespace

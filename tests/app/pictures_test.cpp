// Where Image1's pictures come from (the demo file, the clipboard, files), how they become
// black and white, and what the panel saves.
#include <fstream>

#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>

#include "cli/picture_files.h"
#include "imaging/dither.h"
#include "imaging/jpeg_image.h"
#include "support/form_fixture.h"
#include "support/test_pictures.h"

namespace {

using testing_support::FormFixture;
using testing_support::RandomPicture;

using imaging::DitherMethod;
using testing_support::ExpectedFrame;
using Frame = std::vector<std::uint8_t>;

class PicturesTest : public FormFixture {
protected:
    QRgb Image1At(int x, int y) {
        const std::uint8_t* p = Shown(m_form.Image1).Row(y) + 3 * x;
        return qRgb(p[2], p[1], p[0]);
    }
    void Take(const QImage& picture) {
        m_clipboard.Offer(picture);
        m_form.Timer1Timer();
    }
    QString Save(const QImage& picture, const QString& name) {
        const QString path = m_folder.filePath(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }
    void Drop(const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        // The toolkit delivers a drop only where the drag's entry was accepted.
        QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&m_form, &enter);
        QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&m_form, &drop);
    }
    // The frame the preview in Image2 shows, bit by bit.
    Frame PreviewFrame() {
        Frame frame(28800, 0);
        for (int i = 0; i < 480 * 480; ++i)
            if (Shown(m_form.Image2).Row(i / 480)[i % 480] == 255)
                frame[i / 8] |= 0x80 >> (i % 8);
        return frame;
    }
    QAction* MenuChoice(const QString& caption) {
        QMenu* menu = m_form.PictureMenu(m_form.Image1);
        menu->deleteLater();
        for (QAction* entry : menu->actions())
            for (QAction* choice : entry->menu() ? entry->menu()->actions() : QList<QAction*>())
                if (choice->text() == caption)
                    return choice;
        return nullptr;
    }
    QTemporaryDir m_folder;
};

TEST_F(PicturesTest, ScalingCropsTheTopLeftSquareAndStretchesIt) {
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
        EXPECT_FALSE(m_clipboard.HasBitmap());           // taken once: the clipboard is empty
        EXPECT_EQ(Image1At(100, 470), qRgb(255, 0, 0));  // the square's left half fills
        EXPECT_EQ(Image1At(380, 470), qRgb(0, 0, 255));  // the left 240 columns
    }
}

TEST_F(PicturesTest, PaletteAndOneBitPicturesAreScaledToo) {
    Show();
    m_form.CheckBox1->setChecked(false);
    for (const QImage::Format format : {QImage::Format_Indexed8, QImage::Format_Mono}) {
        QImage picture(960, 480, format);
        picture.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
        picture.fill(1);
        Take(picture);
        EXPECT_EQ(Image1At(240, 240), qRgb(0, 0, 255));
    }
}

TEST_F(PicturesTest, MonitorOffLeavesTheClipboardAlone) {
    Show();
    const imaging::TGraphic* demo = m_form.Image1->Graphic();
    Click(m_form.CheckBox2);
    Take(RandomPicture(10, 10, 1));
    EXPECT_TRUE(m_clipboard.HasBitmap());
    EXPECT_EQ(m_form.Image1->Graphic(), demo);
}

TEST_F(PicturesTest, UnreadablePictureIsReportedOnceAndChangesNothing) {
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

TEST_F(PicturesTest, DemoPictureLoadsAtShowAndDecodesOnce) {
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

// A demo picture that cannot be read (missing, here) is reported; the window carries on.
TEST(DemoPictureProblemTest, MessageNamesTheProblemAndTheWindowStaysWithAnEmptyPicture) {
    QTemporaryDir folder;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    testing_support::ListedPortsPlatform platform;
    testing_support::RecordingBoxes boxes;
    testing_support::FakeClipboard clipboard;
    TForm1 form(platform, boxes, clipboard);
    form.show();
    EXPECT_EQ(boxes.errors,
              QStringList{"Cannot read picture \"demo480x480-4.jpg\": No such file or directory"});
    EXPECT_EQ(form.Image1->Graphic(), nullptr);
    form.Button4Click();  // an empty picture extends to white
    EXPECT_EQ(form.Memo1->toPlainText(), "平均灰度：100%");
    QDir::setCurrent(previous);
}

TEST_F(PicturesTest, DroppedPngAndJpegArriveAsTheirFramesScaledAndOneToOne) {
    StartModule();
    Connect();
    const QImage wide = testing_support::RandomPicture(960, 480, 21);
    Drop(Save(wide, "wide.png"));  // scaled: the left square, 1:1 here
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(wide));

    m_form.CheckBox3->setChecked(false);
    const QString jpeg = QString(JPEG_TEST_DATA_DIR) + "/color_480.jpg";
    Drop(jpeg);
    ASSERT_TRUE(m_module->WaitForFrames(2, std::chrono::seconds(5)));
    imaging::TJPEGImage decoded;
    decoded.LoadFromFile(jpeg.toStdString());
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(pictures::ImageView(decoded.DecodeBitmap())));
}

TEST_F(PicturesTest, PictureNamedAtStartReplacesTheDemoPictureAndIsNotSent) {
    StartModule();
    const QImage wide = testing_support::RandomPicture(960, 480, 24);
    m_form.SetStartPicture(Save(wide, "start.png"));
    Connect();
    EXPECT_EQ(dynamic_cast<imaging::TJPEGImage*>(m_form.Image1->Graphic()), nullptr);
    EXPECT_EQ(m_module->FramesReceived(), 0);
    Click(m_form.Button1);
    ASSERT_TRUE(m_module->WaitForFrames(1, std::chrono::seconds(5)));
    EXPECT_EQ(m_module->LastFrame(), ExpectedFrame(wide));  // scaled: the left square
}

TEST_F(PicturesTest, FileThatCannotBeReadIsNamedAndChangesNothing) {
    StartModule();
    Connect();
    std::ofstream(m_folder.filePath("notes.png").toStdString()) << "not a picture";
    const imaging::TGraphic* demo = m_form.Image1->Graphic();
    Drop(m_folder.filePath("notes.png"));
    Drop(m_folder.filePath("missing.jpg"));
    ASSERT_EQ(m_boxes.errors.size(), 2);
    EXPECT_TRUE(m_boxes.errors[0].contains("notes.png\": not a picture"));
    EXPECT_TRUE(m_boxes.errors[1].contains("missing.jpg\": No such file"));
    EXPECT_EQ(m_form.Image1->Graphic(), demo);
    EXPECT_EQ(m_module->FramesReceived(), 0);
}

TEST_F(PicturesTest, MenuChoiceReachesTheFrameAndThresholdStaysAsItWas) {
    Show();
    const QImage picture = testing_support::RandomPicture(480, 480, 22);
    m_form.OpenPictureFile(Save(picture, "picture.png"));
    imaging::Bitmap screen = pictures::BitmapFromImage(picture);
    const std::pair<QString, std::optional<DitherMethod>> choices[] = {
        {"Atkinson", DitherMethod::Atkinson},
        {"Bayer 8×8", DitherMethod::Bayer8},
        {"Floyd–Steinberg", DitherMethod::FloydSteinberg},
        {"阈值", std::nullopt}};
    for (const auto& [caption, method] : choices) {
        SCOPED_TRACE(caption.toStdString());
        QAction* choice = MenuChoice(caption);
        ASSERT_NE(choice, nullptr);
        choice->trigger();
        EXPECT_TRUE(MenuChoice(caption)->isChecked());
        m_form.Memo1->clear();
        Click(m_form.Button4);
        Frame expected(28800);
        if (method) {
            imaging::Dither(screen, expected, *method);
            EXPECT_TRUE(m_form.Memo1->toPlainText().isEmpty());
        } else {
            expected = ExpectedFrame(picture);
            EXPECT_TRUE(m_form.Memo1->toPlainText().startsWith("平均灰度："));
        }
        EXPECT_EQ(PreviewFrame(), expected);
    }
}

TEST_F(PicturesTest, SavedPreviewIsTheFrameAndSavedLogIsItsText) {
    Show();
    Click(m_form.Button3);  // no port: the log holds the error, Image2 nothing yet
    EXPECT_THROW(m_form.SavePreview(m_folder.filePath("none.png")), std::runtime_error);
    m_form.OpenPictureFile(Save(testing_support::RandomPicture(480, 480, 23), "p.png"));
    Click(m_form.Button4);
    const QString png = m_folder.filePath("preview.png");
    m_form.SavePreview(png);
    const QImage saved(png);
    ASSERT_EQ(std::tuple(saved.size(), saved.depth()), std::tuple(QSize(480, 480), 1));
    const Frame frame = PreviewFrame();
    for (int i = 0; i < 480 * 480; ++i)
        ASSERT_EQ(saved.pixel(i % 480, i / 480) == qRgb(255, 255, 255),
                  ((frame[i / 8] << (i % 8)) & 0x80) != 0)
            << i;

    const QString log = m_folder.filePath("log.txt");
    m_form.SaveLog(log);
    QFile text(log);
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(text.readAll()), m_form.Memo1->toPlainText());
    EXPECT_TRUE(m_form.Memo1->toPlainText().contains("错误：串口未打开。"));
}

// A large JPEG that is only shown scaled decodes at an eighth-step scale. Compared as the
// 480 x 480 pictures the panel makes, the two decodes differ only by their filters: the
// DCT's own downscaling against a full decode followed by a smooth scale. Both average
// the same pixels, so the mean difference stays within 2 gray levels and hardly a pixel
// moves by more than 16; a wrong crop or scale would differ by tens of levels.
TEST_F(PicturesTest, LargeJpegDecodesScaledCloseToTheFullDecode) {
    QImage big(2400, 1800, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            big.setPixel(x, y, qRgb((x / 7 + y / 5) % 256, (x * y / 9000) % 256, (y / 3) % 256));
    const QString path = Save(big, "big.jpg");
    const imaging::Bitmap scaled = pictures::LoadPictureFile(path.toStdString(), 480);
    const imaging::Bitmap full = pictures::LoadPictureFile(path.toStdString());
    EXPECT_EQ(std::tuple(scaled.Width(), scaled.Height()), std::tuple(900, 675));  // 3/8
    const auto gray = [](const imaging::Bitmap& bitmap) {
        return pictures::ImageView(bitmap)
            .copy(0, 0, std::min(bitmap.Width(), bitmap.Height()),
                  std::min(bitmap.Width(), bitmap.Height()))
            .scaled(480, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_Grayscale8);
    };
    const QImage a = gray(scaled), b = gray(full);
    long total = 0, far = 0;
    for (int i = 0; i < 480 * 480; ++i) {
        const int d = std::abs(qGray(a.pixel(i % 480, i / 480)) - qGray(b.pixel(i % 480, i / 480)));
        total += d;
        far += d > 16;
    }
    EXPECT_LE(total / (480.0 * 480.0), 2.0);
    EXPECT_LE(far, 480 * 480 / 100);
}

}  // namespace

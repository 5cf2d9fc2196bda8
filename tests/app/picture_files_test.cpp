// The panel's pictures from files, its choice of binarization, and what it saves.
#include <QCheckBox>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>

#include "cli/picture_files.h"
#include "imaging/dither.h"
#include "imaging/jpeg_image.h"
#include "support/form_fixture.h"
#include "support/test_pictures.h"

namespace {

using imaging::DitherMethod;
using testing_support::ExpectedFrame;
using testing_support::FormFixture;
using Frame = std::vector<std::uint8_t>;

class PictureFilesTest : public FormFixture {
protected:
    QString Save(const QImage& picture, const QString& name) {
        const QString path = m_folder.filePath(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }
    void Drop(const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        // The toolkit delivers a drop only where the drag's entry was accepted.
        QDragEnterEvent enter(QPoint(100, 300), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&m_form, &enter);
        QDropEvent drop(QPointF(100, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&m_form, &drop);
    }
    // The frame the preview in Image2 shows, bit by bit.
    Frame PreviewFrame() {
        const imaging::Bitmap& preview = Shown(m_form.Image2);
        Frame frame(28800, 0);
        for (int i = 0; i < 480 * 480; ++i)
            if (preview.Row(i / 480)[i % 480] == 255) frame[i / 8] |= 0x80 >> (i % 8);
        return frame;
    }
    QAction* MenuChoice(const QString& caption) {
        QMenu* menu = m_form.PictureMenu(m_form.Image1);
        menu->deleteLater();
        for (QAction* entry : menu->actions())
            if (entry->menu())
                for (QAction* choice : entry->menu()->actions())
                    if (choice->text() == caption) return choice;
        return nullptr;
    }
    QTemporaryDir m_folder;
};

TEST_F(PictureFilesTest, DroppedPngAndJpegArriveAsTheirFramesScaledAndOneToOne) {
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

TEST_F(PictureFilesTest, PictureNamedAtStartReplacesTheDemoPictureAndIsNotSent) {
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

TEST_F(PictureFilesTest, FileThatCannotBeReadIsNamedAndChangesNothing) {
    StartModule();
    Connect();
    QFile notes(m_folder.filePath("notes.png"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write("not a picture") > 0);
    notes.close();
    const imaging::TGraphic* demo = m_form.Image1->Graphic();
    Drop(notes.fileName());
    Drop(m_folder.filePath("missing.jpg"));
    ASSERT_EQ(m_boxes.errors.size(), 2);
    EXPECT_TRUE(m_boxes.errors[0].contains("notes.png") && m_boxes.errors[0].contains("not a picture"));
    EXPECT_TRUE(m_boxes.errors[1].contains("missing.jpg") &&
                m_boxes.errors[1].contains("No such file"));
    EXPECT_EQ(m_form.Image1->Graphic(), demo);
    EXPECT_EQ(m_module->FramesReceived(), 0);
}

TEST_F(PictureFilesTest, MenuChoiceReachesTheFrameAndThresholdStaysAsItWas) {
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

TEST_F(PictureFilesTest, SavedPreviewIsTheFrameAndSavedLogIsItsText) {
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
                  ((frame[i / 8] << (i % 8)) & 0x80) != 0) << i;

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
TEST_F(PictureFilesTest, LargeJpegDecodesScaledCloseToTheFullDecode) {
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
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 480; ++x) {
            const int d = std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
            total += d;
            far += d > 16;
        }
    EXPECT_LE(total / (480.0 * 480.0), 2.0);
    EXPECT_LE(far, 480 * 480 / 100);
}

}  // namespace

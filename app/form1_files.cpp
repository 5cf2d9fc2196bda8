// The window's additions beyond its layout: pictures from files (dropped, opened or named
// at start), the choice of binarization, and saving the preview and the log.
#include <QActionGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>

#include "app/clipboard_picture.h"
#include "app/error_display.h"
#include "app/form1.h"
#include "app/picture_box.h"
#include "cli/picture_files.h"
#include "imaging/mono_frame.h"
#include "imaging/picture_file.h"
#include "imaging/picture_registry.h"

namespace {

using imaging::DitherMethod;

// The first local file among the dragged addresses, or nothing.
QString DroppedFile(const QMimeData* data) {
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

QString PictureFilter() {
    QStringList patterns = {"*.jpg", "*.jpeg"};
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns.append("*." + QString::fromLatin1(format));
    }
    patterns.removeDuplicates();
    return QStringLiteral("图片 (%1);;所有文件 (*)").arg(patterns.join(' '));
}

// The frame a black-and-white preview shows: its pixels are the marks a frame is packed
// from, 255 for a set bit. A preview is always the screen's size.
std::vector<std::uint8_t> FrameShownIn(const imaging::Bitmap& preview) {
    constexpr std::size_t kRowBytes = protocol::kScreenWidth / 8;
    std::vector<std::uint8_t> frame(protocol::FrameBytes, 0);
    for (int y = 0; y < protocol::kScreenHeight; ++y) {
        imaging::PackMarks(preview.Row(y), kRowBytes, frame.data() + kRowBytes * y);
    }
    return frame;
}

}  // namespace

void TForm1::WireMenus() {
    setAcceptDrops(true);
    for (PictureBox* box : {Image1, Image2}) {
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QWidget::customContextMenuRequested, this, [this, box](const QPoint& at) {
            std::unique_ptr<QMenu> menu(PictureMenu(box));
            menu->exec(box->mapToGlobal(at));
        });
    }
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        std::unique_ptr<QMenu> menu(LogMenu());
        menu->exec(Memo1->mapToGlobal(at));
    });
}

QMenu* TForm1::PictureMenu(PictureBox* box) {
    auto* menu = new QMenu(this);
    if (box == Image1) {
        menu->addAction(QStringLiteral("打开图片…"), this,
                        [this] { Guarded([this] { ChooseAndOpenPicture(); }); });
    }
    AddBinarizationMenu(menu);
    if (box == Image2) {
        QAction* save = menu->addAction(QStringLiteral("保存预览…"), this,
                                        [this] { Guarded([this] { ChooseAndSavePreview(); }); });
        save->setEnabled(Image2->Graphic() != nullptr);
    }
    return menu;
}

void TForm1::AddBinarizationMenu(QMenu* menu) {
    QMenu* choices = menu->addMenu(QStringLiteral("二值化方式"));
    auto* group = new QActionGroup(choices);
    const std::pair<QString, std::optional<DitherMethod>> methods[] = {
        {QStringLiteral("阈值"), std::nullopt},
        {QStringLiteral("Floyd–Steinberg"), DitherMethod::FloydSteinberg},
        {QStringLiteral("Atkinson"), DitherMethod::Atkinson},
        {QStringLiteral("Bayer 8×8"), DitherMethod::Bayer8}};
    for (const auto& [caption, method] : methods) {
        QAction* action = choices->addAction(caption);
        action->setCheckable(true);
        action->setChecked(m_dither == method);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, method] { SetDither(method); });
    }
}

QMenu* TForm1::LogMenu() {
    QMenu* menu = Memo1->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(QStringLiteral("保存日志…"), this,
                    [this] { Guarded([this] { ChooseAndSaveLog(); }); });
    return menu;
}

void TForm1::SetDither(std::optional<DitherMethod> dither) {
    m_dither = dither;
}

imaging::Binarization TForm1::CurrentBinarization() const {
    return {Threshold(), m_dither};
}

// A picture file takes the clipboard picture's way into Image1: cropped and stretched
// when scaling, else 1:1 on white. A large JPEG that is only shown scaled decodes at the
// size it is shown at. A file that cannot be read changes nothing.
void TForm1::LoadPicture(const QString& path, bool send) {
    const bool scale = CheckBox3->isChecked();
    imaging::Bitmap picture;
    try {
        picture = pictures::LoadPictureFile(path.toStdString(), scale ? protocol::kScreenWidth : 0);
    } catch (const imaging::EPictureFile&) {
        throw;  // names the file already
    } catch (const std::exception& error) {
        throw imaging::EPictureFile(path.toStdString(), error.what());
    }
    Image1->SetBitmap(ComposeClipboardPicture(pictures::ImageView(picture), scale));
    if (send && CheckBox1->isChecked()) {
        Button1Click();
    }
}

void TForm1::OpenPictureFile(const QString& path) {
    LoadPicture(path, true);
}

// A picture named on the command line replaces the demo picture; nothing is sent, since
// no port is open yet.
void TForm1::LoadStartPicture() {
    if (!m_start_picture.isEmpty()) {
        LoadPicture(m_start_picture, false);
        return;
    }
    Image1->SetGraphic(imaging::LoadPictureFromFile(DemoPicturePath().toStdString()));
}

// The working folder's demo picture wins; an installed panel falls back on its own copy.
QString TForm1::DemoPicturePath() const {
    const QString here = QString::fromLatin1(kDemoPicture);
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/lcdpanel/" + here;
    return !QFileInfo::exists(here) && QFileInfo::exists(installed) ? installed : here;
}

void TForm1::SavePreview(const QString& path) {
    if (Image2->Graphic() == nullptr) {
        throw std::runtime_error("There is no preview to save yet");
    }
    const QImage image = pictures::FrameImage(FrameShownIn(Image2->Graphic()->DrawingBitmap()));
    if (!image.save(path, "PNG")) {
        throw std::runtime_error("Cannot write \"" + path.toStdString() + "\"");
    }
}

void TForm1::SaveLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(Memo1->toPlainText().toUtf8()) < 0 || !file.flush()) {
        throw std::runtime_error("Cannot write \"" + path.toStdString() + "\"");
    }
}

void TForm1::ChooseAndOpenPicture() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("打开图片"), {}, PictureFilter());
    if (!path.isEmpty()) {
        OpenPictureFile(path);
    }
}

void TForm1::ChooseAndSavePreview() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存预览"),
                                                      "preview.png", "PNG (*.png)");
    if (!path.isEmpty()) {
        SavePreview(path);
    }
}

void TForm1::ChooseAndSaveLog() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("保存日志"), "log.txt", "文本 (*.txt)");
    if (!path.isEmpty()) {
        SaveLog(path);
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    event->acceptProposedAction();
    Guarded([this, path] { OpenPictureFile(path); });
}

// A desktop that tells unfocused programs nothing of the clipboard (Wayland) still tells
// the one the operator comes back to: look the moment the window is activated.
void TForm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Guarded([this] { Timer1Timer(); });
    }
}

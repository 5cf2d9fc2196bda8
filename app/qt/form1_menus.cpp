// The window's additions beyond its layout: context menus, dropped files, file dialogs and
// message boxes. Each forwards to the panel, which does the work.
#include <QActionGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>

#include "app/qt/form1.h"
#include "app/qt/picture_box.h"
#include "pictures/picture_formats.h"

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
    return QStringLiteral("图片 (%1);;所有文件 (*)")
        .arg(QString::fromStdString(pictures::DialogPatterns(" ")));
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path PathOf(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
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
                        [this] { Forward(&panel::Panel::ChooseAndOpenPicture); });
    }
    AddBinarizationMenu(menu);
    if (box == Image2) {
        QAction* save = menu->addAction(QStringLiteral("保存预览…"), this,
                                        [this] { Forward(&panel::Panel::ChooseAndSavePreview); });
        save->setEnabled(m_panel.HasPreview());
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
        action->setChecked(m_panel.Dither() == method);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, method] { m_panel.SetDither(method); });
    }
}

QMenu* TForm1::LogMenu() {
    QMenu* menu = Memo1->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(QStringLiteral("保存日志…"), this,
                    [this] { Forward(&panel::Panel::ChooseAndSaveLog); });
    return menu;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    const std::filesystem::path path = PathOf(DroppedFile(event->mimeData()));
    event->acceptProposedAction();
    m_panel.Run([this, &path] { m_panel.OpenPictureFile(path); });
}

// Wayland tells unfocused programs nothing of the clipboard, but tells the one the
// operator comes back to: there, look the moment the window is activated. Elsewhere the
// timer alone looks, so that a picture never goes out in the middle of the click that
// activated the window.
void TForm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        Forward(&panel::Panel::Timer1Timer);
    }
}

std::optional<std::filesystem::path> TForm1::ChooseFile(panel::FilePrompt prompt) {
    QString path;
    switch (prompt) {
        case panel::FilePrompt::OpenPicture:
            path =
                QFileDialog::getOpenFileName(this, QStringLiteral("打开图片"), {}, PictureFilter());
            break;
        case panel::FilePrompt::SavePreview:
            path = QFileDialog::getSaveFileName(this, QStringLiteral("保存预览"), "preview.png",
                                                "PNG (*.png)");
            break;
        case panel::FilePrompt::SaveLog:
            path = QFileDialog::getSaveFileName(this, QStringLiteral("保存日志"), "log.txt",
                                                "文本 (*.txt)");
            break;
    }
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return PathOf(path);
}

void TForm1::ShowMessage(std::string_view text) {
    m_boxes.ShowMessage(FromUtf8(text));
}

void TForm1::ShowException(std::string_view text) {
    m_boxes.ShowException(FromUtf8(text));
}

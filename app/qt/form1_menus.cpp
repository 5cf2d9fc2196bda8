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

namespace window = panel::window;

// The first local file among the dragged addresses, or nothing.
QString DroppedFile(const QMimeData* data) {
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
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
    for (const window::ContextMenu& declared : window::PanelWindow().menus) {
        QWidget* control = m_controls.at(declared.control);
        control->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(control, &QWidget::customContextMenuRequested, this,
                [this, control, &declared](const QPoint& at) {
                    std::unique_ptr<QMenu> menu(ContextMenu(declared.control));
                    menu->exec(control->mapToGlobal(at));
                });
    }
}

QMenu* TForm1::ContextMenu(std::string_view control) {
    const window::ContextMenu* declared = window::MenuOf(control);
    QMenu* menu = declared->after_editing_entries
                      ? Control<QPlainTextEdit>(control)->createStandardContextMenu()
                      : new QMenu(this);
    if (declared->after_editing_entries)
        menu->addSeparator();
    for (const window::MenuEntry& entry : declared->entries) {
        if (entry.caption.empty()) {
            AddBinarizationMenu(menu);
            continue;
        }
        QAction* action = menu->addAction(FromUtf8(entry.caption), this,
                                          [this, &entry] { Forward(entry.handler); });
        action->setEnabled(!entry.needs_preview || m_panel.HasPreview());
    }
    return menu;
}

void TForm1::AddBinarizationMenu(QMenu* menu) {
    QMenu* choices = menu->addMenu(FromUtf8(window::PanelWindow().binarization_menu));
    auto* group = new QActionGroup(choices);
    for (const imaging::BinarizationChoice& choice : imaging::kBinarizationChoices) {
        QAction* action = choices->addAction(FromUtf8(choice.title));
        action->setCheckable(true);
        action->setChecked(m_panel.Dither() == choice.method);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, method = choice.method] { m_panel.SetDither(method); });
    }
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
        Forward(window::PanelWindow().on_timer);
    }
}

std::optional<std::filesystem::path> TForm1::ChooseFile(panel::FilePrompt prompt) {
    const window::FileDialogText& dialog = window::FileDialogFor(prompt);
    const QString patterns = dialog.pattern.empty()
                                 ? QString::fromStdString(pictures::DialogPatterns(" "))
                                 : FromUtf8(dialog.pattern);
    QString filter = QStringLiteral("%1 (%2)").arg(FromUtf8(dialog.filter_name), patterns);
    if (dialog.pattern.empty()) {
        filter += QStringLiteral(";;%1 (*)").arg(FromUtf8(window::PanelWindow().all_files));
    }
    const QString title = FromUtf8(dialog.title);
    const QString path =
        dialog.save
            ? QFileDialog::getSaveFileName(this, title, FromUtf8(dialog.default_name), filter)
            : QFileDialog::getOpenFileName(this, title, FromUtf8(dialog.default_name), filter);
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

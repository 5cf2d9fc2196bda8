#include "app/qt/system_clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>

#include "app/panel_texts.h"
#include "imaging/picture_file.h"
#include "pictures/qt_image.h"

namespace {

namespace texts = panel::texts;

// The toolkit waits up to five seconds for the program that holds the clipboard; a
// request that took this long went unanswered.
constexpr qint64 kUnansweredMs = 1000;

// Why the offered picture could not be had, asking its owner once more only when it did
// answer the first time.
std::string UnreadableReason(const QMimeData* data) {
    if (data == nullptr) {
        return std::string(texts::kClipboardEmpty);
    }
    for (const QString& format : data->formats()) {
        if (!format.startsWith(QLatin1String("image/"))) {
            continue;
        }
        QByteArray bytes = data->data(format);
        if (bytes.isEmpty()) {
            return std::string(texts::kClipboardEmpty);
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const QSize size = QImageReader(&buffer).size();
        if (!pictures::WithinReadLimit(size)) {
            return texts::PictureReason(
                imaging::PictureProblem::PictureTooLarge,
                QStringLiteral("%1 × %2").arg(size.width()).arg(size.height()).toStdString());
        }
        return texts::PictureReason(imaging::PictureProblem::NotAPicture);
    }
    return std::string(texts::kClipboardEmpty);
}

}  // namespace

SystemClipboard::SystemClipboard() {
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                     [this] { m_refused = false; });
}

// A program that holds the clipboard but never answers would cost every tick the toolkit's
// whole wait; after one such request the clipboard is left alone until it changes. The
// formats are asked for once: the toolkit's own test for a picture asks again for every
// picture format it knows, each with its own wait.
bool SystemClipboard::HasBitmap() {
    if (m_refused) {
        return false;
    }
    QElapsedTimer asked;
    asked.start();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const QStringList formats = data != nullptr ? data->formats() : QStringList();
    // The toolkit lists its own picture format whenever a format it can read is offered.
    const bool offered = formats.contains(QLatin1String("application/x-qt-image"));
    m_refused = !offered && asked.elapsed() >= kUnansweredMs;
    return offered;
}

// A picture that cannot be read is not asked for again until the clipboard changes;
// asking every second would only repeat the error.
imaging::Bitmap SystemClipboard::CopyBitmap() {
    QElapsedTimer asked;
    asked.start();
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QImage image = clipboard->image();
    if (!image.isNull()) {
        return pictures::BitmapFromImage(image);
    }
    m_refused = true;
    const std::string reason = asked.elapsed() >= kUnansweredMs
                                   ? std::string(texts::kClipboardOwnerSilent)
                                   : UnreadableReason(clipboard->mimeData());
    throw imaging::EInvalidGraphic(texts::Format(texts::kUnreadableClipboard, {reason}));
}

void SystemClipboard::Empty() {
    QGuiApplication::clipboard()->clear();
}

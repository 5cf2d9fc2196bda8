#include "app/qt/system_clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>

#include "imaging/graphic.h"
#include "pictures/qt_image.h"

namespace {

// The toolkit waits up to five seconds for the program that holds the clipboard; a
// request that took this long went unanswered.
constexpr qint64 kUnansweredMs = 1000;

// Why the offered picture could not be had, asking its owner once more only when it did
// answer the first time.
QString UnreadableReason(const QMimeData* data) {
    if (data == nullptr) {
        return QStringLiteral("no data");
    }
    for (const QString& format : data->formats()) {
        if (!format.startsWith(QLatin1String("image/"))) {
            continue;
        }
        QByteArray bytes = data->data(format);
        if (bytes.isEmpty()) {
            return QStringLiteral("no data");
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const QSize size = QImageReader(&buffer).size();
        if (!pictures::WithinReadLimit(size)) {
            return QStringLiteral("too large (%1 × %2 pixels)")
                .arg(size.width())
                .arg(size.height());
        }
        return QStringLiteral("not a picture");
    }
    return QStringLiteral("no data");
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
    const QString reason = asked.elapsed() >= kUnansweredMs
                               ? QStringLiteral("the program holding it does not answer")
                               : UnreadableReason(clipboard->mimeData());
    throw imaging::EInvalidGraphic(
        QStringLiteral("The clipboard's picture cannot be read: %1").arg(reason).toStdString());
}

void SystemClipboard::Empty() {
    QGuiApplication::clipboard()->clear();
}

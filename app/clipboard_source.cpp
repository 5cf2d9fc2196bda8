#include "app/clipboard_source.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "imaging/graphic.h"

SystemClipboard::SystemClipboard() {
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                     [this] { m_refused = false; });
}

bool SystemClipboard::HasBitmap() {
    if (m_refused) {
        return false;
    }
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage();
}

// The toolkit refuses to decode a picture past its allocation limit; that picture cannot
// be taken, and asking again every second would only repeat the error.
QImage SystemClipboard::CopyBitmap() {
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull()) {
        m_refused = true;
        throw imaging::EInvalidGraphic("The clipboard's picture cannot be read (too large?)");
    }
    return image;
}

void SystemClipboard::Empty() {
    QGuiApplication::clipboard()->clear();
}

#include "app/clipboard_source.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "imaging/graphic.h"

bool SystemClipboard::HasBitmap() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage();
}

// The toolkit refuses to decode a picture past its allocation limit; that picture cannot
// be taken.
QImage SystemClipboard::CopyBitmap() {
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull()) {
        throw imaging::EInvalidGraphic("The clipboard's picture cannot be read (too large?)");
    }
    return image;
}

void SystemClipboard::Empty() {
    QGuiApplication::clipboard()->clear();
}

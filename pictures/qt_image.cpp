#include "pictures/qt_image.h"

#include <QImageReader>
#include <QPainter>

#include <cstring>

namespace pictures {

namespace {

QList<QRgb> ColorTable(const imaging::Bitmap& bitmap) {
    QList<QRgb> table;
    for (const imaging::PaletteEntry& entry : bitmap.Palette()) {
        table.append(qRgb(entry.red, entry.green, entry.blue));
    }
    return table;
}

QImage::Format ImageFormat(const imaging::Bitmap& bitmap) {
    return bitmap.Format() == imaging::PixelFormat::Indexed8 ? QImage::Format_Indexed8
                                                             : QImage::Format_BGR888;
}

// A const pointer makes a read-only view; a mutable one lets a painter write in place.
template <typename Bytes>
QImage ViewOf(const imaging::Bitmap& bitmap, Bytes* bits) {
    if (bitmap.IsEmpty()) {
        return {};
    }
    QImage view(bits, bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.Stride()),
                ImageFormat(bitmap));
    if (bitmap.Format() == imaging::PixelFormat::Indexed8) {
        view.setColorTable(ColorTable(bitmap));
    }
    return view;
}

imaging::Bitmap IndexedBitmap(const QImage& image) {
    imaging::Bitmap bitmap(image.width(), image.height(), imaging::PixelFormat::Indexed8);
    std::vector<imaging::PaletteEntry> palette;
    for (const QRgb rgb : image.colorTable()) {
        palette.push_back({static_cast<std::uint8_t>(qRed(rgb)),
                           static_cast<std::uint8_t>(qGreen(rgb)),
                           static_cast<std::uint8_t>(qBlue(rgb))});
    }
    bitmap.SetPalette(std::move(palette));
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(bitmap.Row(y), image.constScanLine(y), static_cast<std::size_t>(image.width()));
    }
    return bitmap;
}

}  // namespace

QImage ImageView(const imaging::Bitmap& bitmap) {
    return ViewOf(bitmap, bitmap.Bits());
}

QImage WritableImageView(imaging::Bitmap& bitmap) {
    return ViewOf(bitmap, bitmap.Bits());
}

// Pixels cross over once: a palette picture row by row, anything else converted straight
// into the bitmap's memory.
imaging::Bitmap BitmapFromImage(const QImage& image) {
    if (image.format() == QImage::Format_Indexed8) {
        return IndexedBitmap(image);
    }
    imaging::Bitmap bitmap(image.width(), image.height(), imaging::PixelFormat::Bgr24);
    QImage view = WritableImageView(bitmap);
    if (!view.isNull()) {
        QPainter painter(&view);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, image);
    }
    return bitmap;
}

bool WithinReadLimit(QSize size) {
    const qint64 limit = qint64{QImageReader::allocationLimit()} << 20;
    return !size.isValid() || limit <= 0 || qint64{size.width()} * size.height() * 4 <= limit;
}

}  // namespace pictures

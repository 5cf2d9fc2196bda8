#include "cli/picture_files.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <cstring>

#include "imaging/graphic.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture_file.h"
#include "protocol/commands.h"

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

// What the system's readers make of the bytes; the reader's own size check comes first, so
// that a small file claiming a huge picture is refused before memory is taken.
QImage ReadImage(std::span<const std::uint8_t> bytes) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!WithinReadLimit(size)) {
        throw imaging::EInvalidGraphic(QStringLiteral("too large (%1 × %2)")
                                           .arg(size.width())
                                           .arg(size.height())
                                           .toStdString());
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        throw imaging::EInvalidGraphic("not a picture");
    }
    return image;
}

imaging::Bitmap DecodeJpeg(std::vector<std::uint8_t> bytes, int cover_side) {
    imaging::TJPEGImage picture;
    picture.LoadBytes(std::move(bytes));
    const int scale = cover_side > 0 ? imaging::CoveringScale(picture.ImageWidth(),
                                                              picture.ImageHeight(), cover_side)
                                     : imaging::kFullScale;
    return scale == imaging::kFullScale ? picture.DecodeBitmap() : picture.DecodeScaled(scale);
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

bool IsJpeg(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

imaging::Bitmap DecodePicture(std::vector<std::uint8_t> bytes, int cover_side) {
    if (IsJpeg(bytes)) {
        return DecodeJpeg(std::move(bytes), cover_side);
    }
    return BitmapFromImage(ReadImage(bytes));
}

imaging::Bitmap LoadPictureFile(const std::filesystem::path& path, int cover_side) {
    return DecodePicture(imaging::ReadPictureFile(path), cover_side);
}

QImage FrameImage(std::span<const std::uint8_t> frame) {
    constexpr int kWidth = protocol::kScreenWidth;
    constexpr int kHeight = protocol::kScreenHeight;
    QImage image(kWidth, kHeight, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < kHeight; ++y) {
        std::memcpy(image.scanLine(y), frame.data() + y * (kWidth / 8), kWidth / 8);
    }
    return image;
}

}  // namespace pictures

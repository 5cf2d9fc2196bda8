#include "app/picture_box.h"

#include <QPainter>
#include <QTimer>

#include <cstring>

#include "app/message_boxes.h"

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
        imaging::Bitmap bitmap(image.width(), image.height(), imaging::PixelFormat::Indexed8);
        std::vector<imaging::PaletteEntry> palette;
        for (const QRgb rgb : image.colorTable()) {
            palette.push_back({static_cast<std::uint8_t>(qRed(rgb)),
                               static_cast<std::uint8_t>(qGreen(rgb)),
                               static_cast<std::uint8_t>(qBlue(rgb))});
        }
        bitmap.SetPalette(std::move(palette));
        for (int y = 0; y < image.height(); ++y) {
            std::memcpy(bitmap.Row(y), image.constScanLine(y),
                        static_cast<std::size_t>(image.width()));
        }
        return bitmap;
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

PictureBox::PictureBox(QWidget* parent, MessageBoxes& boxes, bool stretch)
    : QWidget(parent), m_boxes(boxes), m_stretch(stretch) {}

void PictureBox::SetGraphic(std::unique_ptr<imaging::TGraphic> graphic) {
    m_graphic = std::move(graphic);
    if (m_graphic) {
        m_graphic->OnChange = [this] { update(); };
    }
    update();
}

void PictureBox::SetBitmap(imaging::Bitmap bitmap) {
    SetGraphic(std::make_unique<imaging::TBitmapGraphic>(std::move(bitmap)));
}

void PictureBox::Clear() {
    SetGraphic(nullptr);
}

// A picture that fails to decode while painting is reported once the paint is over; the
// picture keeps what it decoded and does not try again.
void PictureBox::paintEvent(QPaintEvent*) {
    if (!m_graphic || m_graphic->IsEmpty()) {
        return;
    }
    QImage view;
    try {
        view = ImageView(m_graphic->DrawingBitmap());
    } catch (const std::exception& error) {
        ReportLater(QString::fromUtf8(error.what()));
        return;
    }
    QPainter painter(this);
    if (m_stretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(rect(), view);
    } else {
        painter.drawImage(QPoint(0, 0), view);
    }
}

void PictureBox::ReportLater(const QString& message) {
    QTimer::singleShot(0, this, [this, message] { m_boxes.ShowException(message); });
}

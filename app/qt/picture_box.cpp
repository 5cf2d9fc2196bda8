#include "app/qt/picture_box.h"

#include <QPainter>
#include <QTimer>

#include "pictures/qt_image.h"

void PictureBox::Show(imaging::TGraphic* picture) {
    m_graphic = picture;
    m_bitmap = nullptr;
    if (m_graphic != nullptr) {
        m_graphic->OnChange = [this] { update(); };
    }
    update();
}

void PictureBox::Show(const imaging::Bitmap* picture) {
    m_graphic = nullptr;
    m_bitmap = picture;
    update();
}

// A picture that fails to decode is reported once the paint is over; it keeps what it
// decoded and does not try again.
const imaging::Bitmap* PictureBox::PixelsToPaint() {
    if (m_bitmap != nullptr || m_graphic == nullptr || m_graphic->IsEmpty()) {
        return m_bitmap;
    }
    try {
        return &m_graphic->DrawingBitmap();
    } catch (const std::exception& error) {
        const QString message = QString::fromUtf8(error.what());
        QTimer::singleShot(0, this, [this, message] {
            if (OnPaintError) {
                OnPaintError(message);
            }
        });
        return nullptr;
    }
}

void PictureBox::paintEvent(QPaintEvent*) {
    const imaging::Bitmap* pixels = PixelsToPaint();
    if (pixels == nullptr || pixels->IsEmpty()) {
        return;
    }
    const QImage view = pictures::ImageView(*pixels);
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), view);
}

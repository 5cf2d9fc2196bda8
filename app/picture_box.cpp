#include "app/picture_box.h"

#include <QPainter>
#include <QTimer>

#include "app/message_boxes.h"
#include "cli/picture_files.h"

using pictures::ImageView;

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

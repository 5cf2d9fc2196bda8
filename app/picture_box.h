#pragma once

#include <memory>

#include <QImage>
#include <QWidget>

#include "imaging/bitmap.h"
#include "imaging/graphic.h"

class MessageBoxes;

// A view of a bitmap's pixels as a toolkit image, sharing the memory: valid while the
// bitmap lives and keeps its size.
QImage ImageView(const imaging::Bitmap& bitmap);
QImage WritableImageView(imaging::Bitmap& bitmap);
// A bitmap holding a copy of a toolkit image's pixels, 24 bits, or 8 with its palette.
imaging::Bitmap BitmapFromImage(const QImage& image);

// A picture control: shows one picture, from the top-left at 1:1 or stretched to fill.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    PictureBox(QWidget* parent, MessageBoxes& boxes, bool stretch);

    imaging::TGraphic* Graphic() const { return m_graphic.get(); }
    void SetGraphic(std::unique_ptr<imaging::TGraphic> graphic);
    void SetBitmap(imaging::Bitmap bitmap);
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ReportLater(const QString& message);

    MessageBoxes& m_boxes;
    bool m_stretch;
    std::unique_ptr<imaging::TGraphic> m_graphic;
};

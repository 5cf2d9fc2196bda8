#pragma once

#include <memory>

#include <QImage>
#include <QWidget>

#include "imaging/bitmap.h"
#include "imaging/graphic.h"

class MessageBoxes;

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

#pragma once

#include <functional>

#include <QString>
#include <QWidget>

#include "imaging/graphic.h"

// A picture control: paints a picture it does not own, from the top-left at 1:1.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget* parent) : QWidget(parent) {}

    void Show(imaging::TGraphic* picture);
    void Show(const imaging::Bitmap* picture);
    bool IsEmpty() const { return m_graphic == nullptr && m_bitmap == nullptr; }
    // Told of a picture that failed to decode while painting, once the paint is over.
    std::function<void(const QString&)> OnPaintError;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const imaging::Bitmap* PixelsToPaint();

    imaging::TGraphic* m_graphic = nullptr;
    const imaging::Bitmap* m_bitmap = nullptr;
};

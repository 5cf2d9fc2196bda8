#include "app/clipboard_picture.h"

#include <QPainter>

#include "cli/picture_files.h"
#include "protocol/commands.h"

namespace {

constexpr int kWidth = protocol::kScreenWidth;
constexpr int kHeight = protocol::kScreenHeight;

// The top-left part with the screen's aspect ratio; the ratios are compared as 32-bit
// floats, like the sizes they stand for.
QSize SquareCrop(int width, int height) {
    const float width_ratio = static_cast<float>(width) * (1.0f / kWidth);
    const float height_ratio = static_cast<float>(height) * (1.0f / kHeight);
    if (width_ratio > height_ratio) {
        return {height * kWidth / kHeight, height};
    }
    return {width, width * kHeight / kWidth};
}

// A view of the picture's top-left part, sharing its pixels (and its palette, which a
// palette or one-bit picture cannot do without).
QImage TopLeft(const QImage& picture, QSize size) {
    QImage view(picture.constBits(), size.width(), size.height(), picture.bytesPerLine(),
                picture.format());
    view.setColorTable(picture.colorTable());
    return view;
}

}  // namespace

imaging::Bitmap ComposeClipboardPicture(const QImage& picture, bool scale) {
    imaging::Bitmap canvas(kWidth, kHeight, imaging::PixelFormat::Bgr24);
    QImage view = pictures::WritableImageView(canvas);
    QPainter painter(&view);
    if (scale) {
        const QImage square = TopLeft(picture, SquareCrop(picture.width(), picture.height()));
        painter.drawImage(
            0, 0, square.scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        painter.drawImage(0, 0, picture);
    }
    return canvas;
}

#include "cli/screen_frames.h"

#include <QPainter>

#include "cli/picture_files.h"
#include "imaging/dither.h"
#include "imaging/frame_actions.h"
#include "protocol/commands.h"

namespace cli {

namespace {

constexpr int kSide = protocol::kScreenWidth;

// Crop, pad or stretch on the toolkit's smooth scaling; the canvas starts white.
void DrawFitted(QPainter& painter, const QImage& picture, Fit fit) {
    const int width = picture.width();
    const int height = picture.height();
    switch (fit) {
        case Fit::Crop: {
            const int side = std::min(width, height);
            const QImage square = picture.copy((width - side) / 2, (height - side) / 2, side, side);
            painter.drawImage(
                0, 0, square.scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            return;
        }
        case Fit::Pad: {
            const QImage inside =
                picture.scaled(kSide, kSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            painter.drawImage((kSide - inside.width()) / 2, (kSide - inside.height()) / 2, inside);
            return;
        }
        case Fit::Stretch:
            painter.drawImage(
                0, 0,
                picture.scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            return;
        case Fit::None:
            painter.drawImage(0, 0, picture);
            return;
    }
}

}  // namespace

imaging::Bitmap FitToScreen(const imaging::Bitmap& picture, Fit fit) {
    if (fit == Fit::None || picture.IsEmpty()) {
        return imaging::PrepareWorkingPicture([&](imaging::Bitmap& target) { target = picture; });
    }
    imaging::Bitmap screen(kSide, kSide, imaging::PixelFormat::Bgr24);
    QImage canvas = pictures::WritableImageView(screen);
    QPainter painter(&canvas);
    DrawFitted(painter, pictures::ImageView(picture), fit);
    return screen;
}

QImage FitGrayToScreen(const QImage& gray, Fit fit) {
    QImage canvas(kSide, kSide, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        DrawFitted(painter, gray, fit);
    }
    return canvas.convertToFormat(QImage::Format_Grayscale8);
}

void FrameFromLumas(const imaging::LumaPlane& lumas, const PictureOptions& options,
                    std::span<std::uint8_t> frame, serial::LogSink& log) {
    if (options.dither) {
        imaging::Dither(lumas, frame, *options.dither);
    } else {
        imaging::BinarizeLuma(lumas, frame, options.threshold, log);
    }
    if (options.invert) {
        for (std::uint8_t& byte : frame) {
            byte = static_cast<std::uint8_t>(~byte);
        }
    }
}

}  // namespace cli

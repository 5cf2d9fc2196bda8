#include "app/qt/picture_types.h"

#include <QGuiApplication>
#include <QScreen>

#include <optional>

#include "imaging/jpeg_image.h"

// JPEG pictures decode at the screen's depth: 8 bits on a palette screen, else 24.
void ComputeJpegDepthFromScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    imaging::ComputeDefaultJPEGDepth(screen != nullptr ? std::optional<int>(screen->depth())
                                                       : std::nullopt);
}

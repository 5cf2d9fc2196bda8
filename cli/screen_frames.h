#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <QImage>

#include "cli/options.h"
#include "imaging/bitmap.h"
#include "imaging/mono_frame.h"
#include "serial/log_sink.h"

// Pictures of any size to frames for the 480 x 480 screen.
namespace cli {

// The picture as the screen's 24-bit working picture, shaped as `fit` says. Fit::None is
// the panel's own rule: the top-left 480 x 480, extended with white, never scaled.
imaging::Bitmap FitToScreen(const imaging::Bitmap& picture, Fit fit);

// A gray picture of any size as the screen's 8-bit grays, shaped as `fit` says.
QImage FitGrayToScreen(const QImage& gray, Fit fit);

// The frame for the screen's lumas: the threshold (0: the mean, logged as the panel logs
// it) or the dither, then the inversion.
void FrameFromLumas(const imaging::LumaPlane& lumas, const PictureOptions& options,
                    std::span<std::uint8_t> frame, serial::LogSink& log);

}  // namespace cli

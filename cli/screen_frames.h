#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cli/options.h"
#include "imaging/bitmap.h"
#include "imaging/mono_frame.h"
#include "serial/log_sink.h"

// The screen's lumas to frames, as lcdctl's picture options say.
namespace cli {

// The frame for the screen's lumas: the threshold (0: the mean, logged as the panel logs
// it) or the dither, then the inversion.
void FrameFromLumas(const imaging::LumaPlane& lumas, const PictureOptions& options,
                    std::span<std::uint8_t> frame, serial::LogSink& log);

}  // namespace cli

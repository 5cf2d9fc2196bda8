#include "cli/screen_frames.h"

#include "imaging/dither.h"
#include "imaging/frame_actions.h"
#include "protocol/commands.h"

namespace cli {

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

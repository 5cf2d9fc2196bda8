#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "imaging/bitmap.h"
#include "imaging/dither.h"
#include "protocol/commands.h"
#include "serial/log_sink.h"

namespace imaging {

// Copies the picture the window shows into a bitmap (a JPEG decodes here, and may throw).
using SourceCopier = std::function<void(Bitmap&)>;
// Takes a finished frame: the window shows it as its preview.
using FrameSink = std::function<void(std::span<const std::uint8_t>)>;

// How a picture becomes black and white: the threshold (0: the automatic mean, logged), or,
// when a dither method is chosen, that method, which needs no threshold.
struct Binarization {
    int threshold = 0;
    std::optional<DitherMethod> dither;
};

// The source picture cropped or extended to the screen's size, 24 bits per pixel.
Bitmap PrepareWorkingPicture(const SourceCopier& copy_source);

// A black-and-white 8-bit picture of a frame, the size of the screen.
Bitmap PreviewOf(std::span<const std::uint8_t> frame);

// A frame at half the screen's size, 8-bit gray: each pixel is the mean of its 2 x 2 block,
// (255 k + 2) / 4 for k light pixels, so that a line one pixel wide, light or dark, stays
// in sight as a gray line.
Bitmap HalfScalePreviewOf(std::span<const std::uint8_t> frame);

// The window's frame-producing actions: each owns one frame buffer for its length.
class FrameActions {
public:
    FrameActions(protocol::ModuleCommands& commands, serial::LogSink& log)
        : m_commands(commands), m_log(log) {}

    // Header, its reply, then the picture binarized, handed to `show_frame`, sent, and the
    // final reply. A picture that cannot be prepared ends the action after the header's
    // reply, before any payload.
    void SendPicture(const SourceCopier& copy_source, const Binarization& binarization,
                     const FrameSink& show_frame);

    // The same binarization and preview, with no port needed and nothing sent.
    void PreviewPicture(const SourceCopier& copy_source, const Binarization& binarization,
                        const FrameSink& show_frame);

    // A frame of one byte value: handed to `show_frame`, then sent.
    void SendFill(std::uint8_t fill, const FrameSink& show_frame);

private:
    void BinarizeInto(const Bitmap& working, const Binarization& binarization,
                      std::span<std::uint8_t> frame);

    protocol::ModuleCommands& m_commands;
    serial::LogSink& m_log;
};

}  // namespace imaging

#pragma once

#include <cstdint>
#include <functional>

#include "imaging/bitmap.h"
#include "protocol/commands.h"
#include "serial/log_sink.h"

namespace imaging {

// Copies the picture the window shows into a bitmap (a JPEG decodes here, and may throw).
using SourceCopier = std::function<void(Bitmap&)>;
// Hands a finished picture to a picture control of the window.
using PictureSink = std::function<void(const Bitmap&)>;

// The source picture cropped or extended to the screen's size, 24 bits per pixel.
Bitmap PrepareWorkingPicture(const SourceCopier& copy_source);

// A black-and-white 8-bit picture of a frame, the size of the screen.
Bitmap PreviewOf(std::span<const std::uint8_t> frame);

// The window's frame-producing actions: each owns one frame buffer for its length.
class FrameActions {
public:
    FrameActions(protocol::ModuleCommands& commands, serial::LogSink& log)
        : m_commands(commands), m_log(log) {}

    // Header, its reply, then the picture binarized at `threshold` (0: automatic), shown
    // in the preview, sent, and the final reply. A picture that cannot be prepared ends
    // the action after the header's reply, before any payload.
    void SendPicture(const SourceCopier& copy_source, int threshold,
                     const PictureSink& show_preview);

    // The same binarization and preview, with no port needed and nothing sent.
    void PreviewPicture(const SourceCopier& copy_source, int threshold,
                        const PictureSink& show_preview);

    // A frame of one byte value: shown in the preview, then as the source picture, sent.
    void SendFill(std::uint8_t fill, const PictureSink& show_preview,
                  const PictureSink& show_source);

private:
    protocol::ModuleCommands& m_commands;
    serial::LogSink& m_log;
};

}  // namespace imaging

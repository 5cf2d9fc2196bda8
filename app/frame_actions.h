#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "imaging/bitmap.h"
#include "imaging/working_picture.h"
#include "protocol/commands.h"
#include "serial/log_sink.h"

namespace panel {

// Takes a finished frame: the window shows it as its preview.
using FrameSink = std::function<void(std::span<const std::uint8_t>)>;

// The window's frame-producing actions: each owns one frame buffer for its length.
class FrameActions {
public:
    FrameActions(protocol::ModuleCommands& commands, serial::LogSink& log)
        : m_commands(commands), m_log(log) {}

    // Header, its reply, then the picture binarized, handed to `show_frame`, sent, and the
    // final reply. A picture that cannot be prepared ends the action after the header's
    // reply, before any payload.
    void SendPicture(const imaging::SourceCopier& copy_source,
                     const imaging::Binarization& binarization, const FrameSink& show_frame);

    // The same binarization and preview, with no port needed and nothing sent.
    void PreviewPicture(const imaging::SourceCopier& copy_source,
                        const imaging::Binarization& binarization, const FrameSink& show_frame);

    // A frame of one byte value: handed to `show_frame`, then sent.
    void SendFill(std::uint8_t fill, const FrameSink& show_frame);

private:
    // The binarized frame, the automatic threshold's mean logged as it is picked.
    void BinarizeInto(const imaging::Bitmap& working, const imaging::Binarization& binarization,
                      std::span<std::uint8_t> frame);

    protocol::ModuleCommands& m_commands;
    serial::LogSink& m_log;
};

}  // namespace panel

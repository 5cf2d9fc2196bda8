#include "app/frame_actions.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "imaging/mono_frame.h"
#include "imaging/screen_size.h"

namespace panel {

// imaging makes its pictures for the screen the module's commands describe.
static_assert(imaging::kScreenWidth == protocol::kScreenWidth);
static_assert(imaging::kScreenHeight == protocol::kScreenHeight);
static_assert(imaging::kFrameBytes == protocol::FrameBytes);

void FrameActions::BinarizeInto(const imaging::Bitmap& working,
                                const imaging::Binarization& binarization,
                                std::span<std::uint8_t> frame) {
    if (const std::optional<int> mean =
            imaging::BinarizeWorkingPicture(working, binarization, frame)) {
        m_log.LogLine(imaging::MeanLumaLine(*mean));
    }
}

void FrameActions::SendPicture(const imaging::SourceCopier& copy_source,
                               const imaging::Binarization& binarization,
                               const FrameSink& show_frame) {
    std::vector<std::uint8_t> frame(protocol::FrameBytes);
    if (!m_commands.SendFrameHeader()) {
        return;
    }
    const imaging::Bitmap working = imaging::PrepareWorkingPicture(copy_source);
    BinarizeInto(working, binarization, frame);
    show_frame(frame);
    m_commands.SendFramePayload(frame);
}

void FrameActions::PreviewPicture(const imaging::SourceCopier& copy_source,
                                  const imaging::Binarization& binarization,
                                  const FrameSink& show_frame) {
    std::vector<std::uint8_t> frame(protocol::FrameBytes);
    const imaging::Bitmap working = imaging::PrepareWorkingPicture(copy_source);
    BinarizeInto(working, binarization, frame);
    show_frame(frame);
}

void FrameActions::SendFill(std::uint8_t fill, const FrameSink& show_frame) {
    if (!m_commands.SendFrameHeader()) {
        return;
    }
    const std::vector<std::uint8_t> frame(protocol::FrameBytes, fill);
    show_frame(frame);
    m_commands.SendFramePayload(frame);
}

}  // namespace panel

#include "imaging/frame_actions.h"

#include <algorithm>
#include <vector>

#include "imaging/mono_frame.h"

namespace imaging {

using protocol::FrameBytes;
using protocol::kScreenHeight;
using protocol::kScreenWidth;

Bitmap PrepareWorkingPicture(const SourceCopier& copy_source) {
    Bitmap working;
    copy_source(working);
    working.SetWidth(kScreenWidth);
    working.SetHeight(kScreenHeight);
    working.SetPixelFormat(PixelFormat::Bgr24);
    return working;
}

Bitmap PreviewOf(std::span<const std::uint8_t> frame) {
    Bitmap preview(kScreenWidth, kScreenHeight, PixelFormat::Indexed8);
    RenderMono(frame, preview);
    return preview;
}

void FrameActions::BinarizeInto(const Bitmap& working, const Binarization& binarization,
                                std::span<std::uint8_t> frame) {
    if (binarization.dither) {
        Dither(working, frame, *binarization.dither);
    } else {
        Binarize(working, frame, binarization.threshold, m_log);
    }
}

void FrameActions::SendPicture(const SourceCopier& copy_source, const Binarization& binarization,
                               const FrameSink& show_frame) {
    std::vector<std::uint8_t> buffer(FrameBytes);
    m_commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t> frame) {
        const Bitmap working = PrepareWorkingPicture(copy_source);
        BinarizeInto(working, binarization, frame);
        show_frame(frame);
    });
}

void FrameActions::PreviewPicture(const SourceCopier& copy_source, const Binarization& binarization,
                                  const FrameSink& show_frame) {
    std::vector<std::uint8_t> frame(FrameBytes);
    const Bitmap working = PrepareWorkingPicture(copy_source);
    BinarizeInto(working, binarization, frame);
    show_frame(frame);
}

void FrameActions::SendFill(std::uint8_t fill, const FrameSink& show_frame) {
    std::vector<std::uint8_t> buffer(FrameBytes);
    m_commands.ExchangeFrame(buffer, [&](std::span<std::uint8_t> frame) {
        std::ranges::fill(frame, fill);
        show_frame(frame);
    });
}

}  // namespace imaging

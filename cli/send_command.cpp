#include <cstdio>
#include <optional>

#include "cli/commands.h"
#include "cli/hub_route.h"
#include "cli/terminal.h"
#include "files/saved_file.h"
#include "imaging/frame_pipeline.h"
#include "imaging/mono_frame.h"
#include "imaging/picture_file.h"
#include "pictures/picture_codec.h"
#include "pictures/picture_files.h"

namespace cli {

namespace {

constexpr int kSide = protocol::kScreenWidth;
constexpr int kMaxReconnects = 3;

// Standard input, up to the same limit as a picture file.
std::vector<std::uint8_t> ReadStandardInput() {
    constexpr std::size_t kPiece = 1 << 20;
    const std::atomic<bool> never{false};
    std::vector<std::uint8_t> bytes;
    std::size_t got = 0;
    while (got <= imaging::kMaxPictureFileBytes) {
        bytes.resize(got + kPiece);
        const std::size_t read = ReadInput(bytes.data() + got, kPiece, never);
        got += read;
        if (read < kPiece) {
            break;
        }
    }
    if (got > imaging::kMaxPictureFileBytes) {
        throw imaging::EPictureFile("-", imaging::PictureProblem::TooLarge);
    }
    bytes.resize(got);
    return bytes;
}

// The picture, decoded at no more than the screen needs unless it is shown 1:1.
imaging::Bitmap ReadPicture(const Options& options) {
    return pictures::DecodePicture(
        options.input == "-" ? ReadStandardInput() : imaging::ReadPictureFile(options.input),
        options.picture.fit == Fit::None ? 0 : kSide);
}

// A bar for a payload that takes more than a second on the line.
void ShowProgress(ConsoleLog& log, std::size_t written, std::size_t total, std::int32_t baud) {
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(kWidth * written / total);
    char text[80];
    std::snprintf(text, sizeof text, "[%.*s%.*s] %zu %%, %.0f s left", filled,
                  "##############################", kWidth - filled,
                  "------------------------------", 100 * written / total,
                  (total - written) * 10.0 / baud);
    log.Status(text);
}

int SendFrame(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform,
              const std::vector<std::uint8_t>& frame) {
    session::ModuleSession session(platform, log, Interrupted);
    if (const int status = OpenLink(options, log, session); status != kDone) {
        return status;
    }
    const bool slow = protocol::FrameBytes * 10 > static_cast<std::size_t>(options.baud);
    if (slow && !log.Quiet() && log.OnTerminal()) {  // only a frame that takes over a second
        session.Link().SetWriteProgress([&](std::size_t written, std::size_t total) {
            if (total == frame.size())
                ShowProgress(log, written, total, options.baud);
        });
    }
    std::vector<std::uint8_t> buffer(protocol::FrameBytes);
    // A link that comes back but fails again each time is not worth waiting for forever.
    for (int attempt = 0;; ++attempt) {
        const bool sent = session.Commands().ExchangeFrame(
            buffer, [&](std::span<std::uint8_t> out) { std::ranges::copy(frame, out.begin()); });
        log.EndStatus();
        if (sent) {
            return Finished(log, session.Commands());
        }
        if (attempt == kMaxReconnects) {
            return LinkLost(log, session.Link());
        }
        if (const int status = AwaitLink(options, log, session); status != kDone) {
            return status;
        }
    }
}

}  // namespace

std::optional<std::string> WritePreview(const std::vector<std::uint8_t>& frame,
                                        const std::string& target) {
    const std::vector<std::uint8_t> png = pictures::EncodeFramePng(frame);
    if (png.empty()) {
        return "";
    }
    if (target == "-") {
        return WriteOutput(png.data(), png.size()) ? std::nullopt : std::optional<std::string>("");
    }
    try {
        files::SaveFile(target, png);
        return std::nullopt;
    } catch (const files::ESavedFile& error) {
        return error.Reason();
    }
}

int RunSend(const Options& options, ConsoleLog& log, serial::SerialPlatform& platform) {
    std::vector<std::uint8_t> frame(protocol::FrameBytes);
    try {
        if (const std::optional<int> mean =
                imaging::FrameFromPicture(ReadPicture(options), options.picture, frame)) {
            log.LogLine(imaging::MeanLumaLine(*mean));  // as the panel words it
        }
    } catch (const std::exception& error) {
        if (Interrupted()) {
            return kInterrupted;  // the input was cut short on purpose
        }
        const auto* file_error = dynamic_cast<const imaging::EPictureFile*>(&error);
        PrintError(log, "cannot read picture '" + options.input +
                            "': " + (file_error ? file_error->Reason() : error.what()));
        return kBadInput;
    }
    if (const auto failure =
            options.preview.empty() ? std::nullopt : WritePreview(frame, options.preview)) {
        PrintError(log, "cannot write preview '" + options.preview + "'" +
                            (failure->empty() ? "" : ": " + *failure));
        return kBadInput;
    }
    if (!options.preview.empty() && options.port.empty()) {
        return kDone;
    }
    if (!options.hub.empty()) {
        return RunThroughHub(options, log, options.hub, &frame);
    }
    return SendFrame(options, log, platform, frame);
}

}  // namespace cli

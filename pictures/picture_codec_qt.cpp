#include "pictures/picture_codec.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>
#include <optional>

#include "imaging/picture_file.h"
#include "pictures/claimed_size.h"
#include "pictures/qt_image.h"
#include "protocol/commands.h"

namespace pictures {

namespace {

// What the system's readers make of the bytes. The size the header claims is checked
// first, then the size the reader finds (for the formats only a plugin knows), so that a
// small file claiming a huge picture is refused before memory is taken. A GIF's reader
// reports its first frame's size but takes its screen's memory.
QImage ReadImage(std::span<const std::uint8_t> bytes) {
    if (const std::optional<PictureSize> claimed = ClaimedSize(bytes)) {
        CheckPictureSize(*claimed);
    }
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid()) {
        CheckPictureSize(
            {static_cast<std::uint32_t>(size.width()), static_cast<std::uint32_t>(size.height())});
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        throw imaging::EPictureFile(imaging::PictureProblem::NotAPicture);
    }
    return image;
}

QImage FrameImage(std::span<const std::uint8_t> frame) {
    constexpr int kWidth = protocol::kScreenWidth;
    constexpr int kHeight = protocol::kScreenHeight;
    QImage image(kWidth, kHeight, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < kHeight; ++y) {
        std::memcpy(image.scanLine(y), frame.data() + y * (kWidth / 8), kWidth / 8);
    }
    return image;
}

}  // namespace

imaging::Bitmap DecodeOtherPicture(std::span<const std::uint8_t> bytes) {
    return BitmapFromImage(ReadImage(bytes));
}

// As Qt's readers list themselves, those of plugins too. Qt's own JPEG reader is never
// reached: the core takes every JPEG first.
std::vector<PictureFormat> OtherReadableFormats() {
    std::vector<PictureFormat> formats;
    for (const QByteArray& mime_type : QImageReader::supportedMimeTypes()) {
        if (mime_type == "image/jpeg") {
            continue;
        }
        PictureFormat format{{}, mime_type.toStdString()};
        for (const QByteArray& name : QImageReader::imageFormatsForMimeType(mime_type)) {
            format.suffixes.push_back(name.toLower().toStdString());
        }
        formats.push_back(std::move(format));
    }
    return formats;
}

std::vector<std::uint8_t> EncodeFramePng(std::span<const std::uint8_t> frame) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!FrameImage(frame).save(&buffer, "PNG")) {
        return {};
    }
    return {png.begin(), png.end()};
}

}  // namespace pictures

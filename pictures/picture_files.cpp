#include "pictures/picture_files.h"

#include "imaging/jpeg_image.h"
#include "imaging/picture_file.h"
#include "pictures/picture_codec.h"
#include "pictures/picture_formats.h"

namespace pictures {

namespace {

imaging::Bitmap DecodeJpeg(std::vector<std::uint8_t> bytes, int cover_side) {
    imaging::TJPEGImage picture;
    picture.LoadBytes(std::move(bytes));
    const int scale = cover_side > 0 ? imaging::CoveringScale(picture.ImageWidth(),
                                                              picture.ImageHeight(), cover_side)
                                     : imaging::kFullScale;
    return scale == imaging::kFullScale ? picture.DecodeBitmap() : picture.DecodeScaled(scale);
}

}  // namespace

bool IsJpeg(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

imaging::Bitmap DecodePicture(std::vector<std::uint8_t> bytes, int cover_side) {
    if (IsJpeg(bytes)) {
        return DecodeJpeg(std::move(bytes), cover_side);
    }
    return DecodeOtherPicture(bytes);
}

imaging::Bitmap LoadPictureFile(const std::filesystem::path& path, int cover_side) {
    return DecodePicture(imaging::ReadPictureFile(path), cover_side);
}

std::unique_ptr<imaging::TGraphic> LoadPicture(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes = imaging::ReadPictureFile(path);
    if (!IsJpeg(bytes) && !HasJpegSuffix(path)) {
        return std::make_unique<imaging::TBitmapGraphic>(DecodeOtherPicture(bytes));
    }
    auto picture = std::make_unique<imaging::TJPEGImage>();
    picture->LoadBytes(std::move(bytes));
    return picture;
}

}  // namespace pictures

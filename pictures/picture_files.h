#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/graphic.h"

// Picture files for the panel and for lcdctl. JPEG goes through the core's decoder; what
// needs a platform sits behind picture_codec.h.
namespace pictures {

// A file that is a JPEG by its content: FF D8 FF, whatever its name.
bool IsJpeg(std::span<const std::uint8_t> bytes);

// A picture from a file's bytes. A JPEG goes through the core's decoder, exactly as the
// panel decodes its demo picture; with `cover_side`, a JPEG at least twice that on its
// shorter side decodes at the smallest DCT scale that still has `cover_side` pixels there.
// Anything else goes through the platform's readers. Raises imaging::EJPEG, or
// imaging::EPictureFile without a path (NotAPicture, PictureTooLarge).
imaging::Bitmap DecodePicture(std::vector<std::uint8_t> bytes, int cover_side = 0);

// A file's picture: imaging::EPictureFile with the path when the file itself cannot be read.
imaging::Bitmap LoadPictureFile(const std::filesystem::path& path, int cover_side = 0);

// A file's picture for a picture control: a JPEG keeps its bytes and decodes when first
// drawn, anything else decodes now. A file with a JPEG's suffix is taken as a JPEG whatever
// its bytes, so that a broken one is told in libjpeg's words. Raises as LoadPictureFile.
std::unique_ptr<imaging::TGraphic> LoadPicture(const std::filesystem::path& path);

}  // namespace pictures

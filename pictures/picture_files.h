#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "imaging/bitmap.h"

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

}  // namespace pictures

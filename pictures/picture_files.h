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
// imaging::EInvalidGraphic with the reason ("not a picture", "too large (W × H)").
imaging::Bitmap DecodePicture(std::vector<std::uint8_t> bytes, int cover_side = 0);

// A file's picture: imaging::EPictureFile when the file itself cannot be read.
imaging::Bitmap LoadPictureFile(const std::filesystem::path& path, int cover_side = 0);

// A frame saved as a one-bit PNG of the screen's size, a set bit white; throws
// std::runtime_error naming the file when it cannot be written.
void SaveFramePng(std::span<const std::uint8_t> frame, const std::filesystem::path& path);

}  // namespace pictures

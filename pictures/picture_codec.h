#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/bitmap.h"
#include "pictures/picture_formats.h"

// What the picture files need of the platform, one implementation file per toolkit or
// system (picture_codec_qt.cpp).
namespace pictures {

// A picture in any format but JPEG that the platform reads (PNG, BMP, GIF's first frame,
// PNM, ...), as 24 bits, or 8 with its palette. Raises imaging::EPictureFile, without a path:
// PictureTooLarge before any pixel memory is taken, or NotAPicture.
imaging::Bitmap DecodeOtherPicture(std::span<const std::uint8_t> bytes);

// The formats DecodeOtherPicture takes.
std::vector<PictureFormat> OtherReadableFormats();

// A frame as a one-bit PNG of the screen's size, a set bit white; empty when it cannot be
// encoded.
std::vector<std::uint8_t> EncodeFramePng(std::span<const std::uint8_t> frame);

}  // namespace pictures

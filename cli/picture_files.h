#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include <QImage>

#include "imaging/bitmap.h"

// Picture files for the panel and for lcdctl, through QtGui only (no widgets, no display).
namespace pictures {

// Views of a bitmap's pixels as a toolkit image, sharing the memory: valid while the
// bitmap lives and keeps its size.
QImage ImageView(const imaging::Bitmap& bitmap);
QImage WritableImageView(imaging::Bitmap& bitmap);
// A bitmap holding a copy of a toolkit image's pixels, 24 bits, or 8 with its palette.
imaging::Bitmap BitmapFromImage(const QImage& image);

// Whether the toolkit's image readers take a picture of this size: past their allocation
// limit they refuse it.
bool WithinReadLimit(QSize size);

// A file that is a JPEG by its content: FF D8 FF, whatever its name.
bool IsJpeg(std::span<const std::uint8_t> bytes);

// A picture from a file's bytes. A JPEG goes through the core's decoder, exactly as the
// panel decodes its demo picture; with `cover_side`, a JPEG at least twice that on its
// shorter side decodes at the smallest DCT scale that still has `cover_side` pixels there.
// Anything else goes through the system's image readers. Raises imaging::EJPEG, or
// imaging::EInvalidGraphic with the reason ("not a picture", "too large (W × H)").
imaging::Bitmap DecodePicture(std::vector<std::uint8_t> bytes, int cover_side = 0);

// A file's picture: imaging::EPictureFile when the file itself cannot be read.
imaging::Bitmap LoadPictureFile(const std::filesystem::path& path, int cover_side = 0);

// A frame as a one-bit picture of the screen's size: a set bit is a white pixel.
QImage FrameImage(std::span<const std::uint8_t> frame);

}  // namespace pictures

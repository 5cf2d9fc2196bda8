#pragma once

#include <QImage>

#include "imaging/bitmap.h"

// Bitmaps and the toolkit's images, for the Qt window and the Qt picture codec.
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

}  // namespace pictures

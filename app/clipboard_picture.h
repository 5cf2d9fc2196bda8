#pragma once

#include <QImage>

#include "imaging/bitmap.h"

// A clipboard picture as the panel's source picture: a fresh white 480 x 480 bitmap with
// the picture drawn at 1:1 from the top-left, or, when scaling, the picture cropped from
// its top-left to the screen's square shape and stretched smoothly across it.
imaging::Bitmap ComposeClipboardPicture(const QImage& picture, bool scale);

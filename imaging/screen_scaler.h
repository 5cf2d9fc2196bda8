#pragma once

#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/mono_frame.h"

namespace imaging {

// How a picture of another shape becomes the 480 x 480 screen.
enum class Fit {
    Crop,     // centred crop to a square, then scaled
    Pad,      // the whole picture inside, on white
    Stretch,  // both sides scaled to the screen, ignoring the aspect
    None,     // 1:1 from the top-left, extended with white: the panel's own rule
};

// The source rectangle (left, top, width, height) scaled to out_width x out_height, 24 bits;
// an indexed picture goes through its palette. Integer arithmetic only: the same bytes on
// every platform.
Bitmap ScaleRegion(const Bitmap& source, int left, int top, int width, int height, int out_width,
                   int out_height);

// The panel's source picture from a clipboard picture or a picture file: a fresh white
// 480 x 480 picture with the picture drawn 1:1 from the top-left, or, when scaling, the
// picture's top-left part with the screen's square shape stretched across it.
Bitmap ComposeScreenPicture(const Bitmap& picture, bool scale);

// The picture as the screen's 24-bit working picture, shaped as `fit` says.
Bitmap FitToScreen(const Bitmap& picture, Fit fit);

// 8-bit grays of any size as the screen's 480 x 480 grays, shaped as `fit` says, into
// `storage`, which the returned plane views.
LumaPlane FitGrayToScreen(const LumaPlane& gray, Fit fit, std::vector<std::uint8_t>& storage);

}  // namespace imaging

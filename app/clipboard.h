#pragma once

#include "imaging/bitmap.h"

namespace panel {

// What the clipboard monitor needs of the system clipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // A picture is offered, in any image format, and it is not one that could not be read.
    virtual bool HasBitmap() = 0;
    // The offered picture; throws, saying why, when it cannot be had (no data, not a
    // picture, too large). Such a picture is not offered again until the clipboard changes.
    virtual imaging::Bitmap CopyBitmap() = 0;
    // Empties the clipboard of every format.
    virtual void Empty() = 0;
};

}  // namespace panel

#pragma once

#include "app/clipboard.h"

// The desktop's clipboard through Qt: X11, Wayland and Windows alike.
class SystemClipboard final : public panel::Clipboard {
public:
    SystemClipboard();
    bool HasBitmap() override;
    imaging::Bitmap CopyBitmap() override;
    void Empty() override;

private:
    bool m_refused = false;  // the current content could not be read, or its owner is silent
};

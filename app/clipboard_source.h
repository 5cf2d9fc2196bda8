#pragma once

#include <QImage>

// What the clipboard monitor needs of the system clipboard.
class ClipboardSource {
public:
    virtual ~ClipboardSource() = default;
    // A picture is offered, in any image format, and it is not one that could not be read.
    virtual bool HasBitmap() = 0;
    // The offered picture; throws, saying why, when it cannot be had (no data, not a
    // picture, too large). Such a picture is not offered again until the clipboard changes.
    virtual QImage CopyBitmap() = 0;
    // Empties the clipboard of every format.
    virtual void Empty() = 0;
};

// The desktop's clipboard through Qt: X11, Wayland and Windows alike.
class SystemClipboard final : public ClipboardSource {
public:
    SystemClipboard();
    bool HasBitmap() override;
    QImage CopyBitmap() override;
    void Empty() override;

private:
    bool m_refused = false;  // the current content could not be read, or its owner is silent
};

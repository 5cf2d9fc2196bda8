#pragma once

#include <QImage>

// What the clipboard monitor needs of the system clipboard.
class ClipboardSource {
public:
    virtual ~ClipboardSource() = default;
    // A picture is offered, in any image format.
    virtual bool HasBitmap() = 0;
    // The offered picture; throws when it cannot be had (too large, or gone meanwhile).
    virtual QImage CopyBitmap() = 0;
    // Empties the clipboard of every format.
    virtual void Empty() = 0;
};

// The desktop's clipboard through Qt: X11, Wayland and Windows alike.
class SystemClipboard final : public ClipboardSource {
public:
    bool HasBitmap() override;
    QImage CopyBitmap() override;
    void Empty() override;
};

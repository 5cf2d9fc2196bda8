#pragma once

#include <windows.h>

#include "app/clipboard.h"

namespace win32ui {

// The Windows clipboard: a device-independent bitmap (CF_DIB), a GDI bitmap (CF_BITMAP),
// or the registered "PNG" format, which is how Wine hands over an X program's image/png.
class SystemClipboard final : public panel::Clipboard {
public:
    SystemClipboard();
    // The window that opens the clipboard, once it exists.
    void SetOwner(HWND owner) { m_owner = owner; }

    bool HasBitmap() override;
    imaging::Bitmap CopyBitmap() override;
    void Empty() override;

private:
    bool Open();

    HWND m_owner = nullptr;
    UINT m_png_format;
    // The clipboard's change count when its picture could not be read; it is left alone
    // until the count moves on.
    DWORD m_refused_at = 0;
    bool m_refused = false;
};

}  // namespace win32ui

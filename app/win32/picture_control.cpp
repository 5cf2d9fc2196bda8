#include "app/win32/picture_control.h"

#include <memory>

namespace win32ui {

namespace {

constexpr wchar_t kClassName[] = L"TImage";
constexpr UINT kReportPaintError = WM_APP + 1;

void RegisterPictureClass(HINSTANCE instance) {
    static const bool registered = [instance] {
        WNDCLASSW type = {};
        type.lpfnWndProc = [](HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
            return DefWindowProcW(window, message, wparam, lparam);
        };
        type.hInstance = instance;
        type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        type.lpszClassName = kClassName;
        return RegisterClassW(&type) != 0;
    }();
    (void)registered;
}

// The bitmap's own layout is a top-down DIB's: rows padded to four bytes, blue first.
struct DibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD palette[256];
};

std::unique_ptr<DibHeader> DibHeaderFor(const imaging::Bitmap& bitmap) {
    auto dib = std::make_unique<DibHeader>();
    *dib = {};
    dib->header.biSize = sizeof(BITMAPINFOHEADER);
    dib->header.biWidth = bitmap.Width();
    dib->header.biHeight = -bitmap.Height();
    dib->header.biPlanes = 1;
    dib->header.biCompression = BI_RGB;
    dib->header.biBitCount = bitmap.Format() == imaging::PixelFormat::Indexed8 ? 8 : 24;
    const auto& palette = bitmap.Palette();
    for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
        dib->palette[i] = {palette[i].blue, palette[i].green, palette[i].red, 0};
    }
    dib->header.biClrUsed = static_cast<DWORD>(palette.size());
    return dib;
}

}  // namespace

PictureControl::PictureControl(HWND parent, int id, RECT bounds, HBRUSH background)
    : m_background(background) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    RegisterPictureClass(instance);
    m_window =
        CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, bounds.left, bounds.top,
                        bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
}

void PictureControl::Show(imaging::TGraphic* picture) {
    m_graphic = picture;
    m_bitmap = nullptr;
    if (m_graphic != nullptr) {
        m_graphic->OnChange = [this] { InvalidateRect(m_window, nullptr, FALSE); };
    }
    InvalidateRect(m_window, nullptr, FALSE);
}

void PictureControl::Show(const imaging::Bitmap* picture) {
    m_graphic = nullptr;
    m_bitmap = picture;
    InvalidateRect(m_window, nullptr, FALSE);
}

// A picture that fails to decode is reported once the paint is over; it keeps what it
// decoded and does not try again.
const imaging::Bitmap* PictureControl::PixelsToPaint() {
    if (m_bitmap != nullptr || m_graphic == nullptr || m_graphic->IsEmpty()) {
        return m_bitmap;
    }
    try {
        return &m_graphic->DrawingBitmap();
    } catch (const std::exception& error) {
        m_paint_error = error.what();
        PostMessageW(m_window, kReportPaintError, 0, 0);
        return nullptr;
    }
}

void PictureControl::Paint() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_window, &paint);
    RECT client;
    GetClientRect(m_window, &client);
    FillRect(dc, &client, m_background);
    const imaging::Bitmap* pixels = PixelsToPaint();
    if (pixels != nullptr && !pixels->IsEmpty()) {
        const std::unique_ptr<DibHeader> dib = DibHeaderFor(*pixels);
        StretchDIBits(dc, 0, 0, pixels->Width(), pixels->Height(), 0, 0, pixels->Width(),
                      pixels->Height(), pixels->Bits(),
                      reinterpret_cast<const BITMAPINFO*>(dib.get()), DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(m_window, &paint);
}

LRESULT CALLBACK PictureControl::Procedure(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
    auto* self = reinterpret_cast<PictureControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_PAINT:
            self->Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case kReportPaintError:
            if (self->OnPaintError) {
                self->OnPaintError(self->m_paint_error);
            }
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace win32ui

#include "app/win32/system_clipboard.h"

#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "app/panel_texts.h"
#include "imaging/graphic.h"
#include "imaging/picture_file.h"
#include "pictures/picture_files.h"

namespace win32ui {

namespace {

namespace texts = panel::texts;
using imaging::PictureProblem;

// Another program may hold the clipboard open for a moment; it is asked again for this long.
constexpr DWORD kOpenDeadlineMs = 500;

struct Unreadable {
    std::string reason;
};

class ClipboardScope {
public:
    ClipboardScope() = default;
    ~ClipboardScope() {
        if (m_open) {
            CloseClipboard();
        }
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    void Opened() { m_open = true; }

private:
    bool m_open = false;
};

// The readers' own ceiling, 256 MiB: a larger block is not copied at all.
constexpr SIZE_T kMaxClipboardBytes = SIZE_T{256} << 20;

// The bytes of a global memory block, checked against the size it claims.
std::vector<std::uint8_t> GlobalBytes(HANDLE memory) {
    if (memory == nullptr) {
        throw Unreadable{std::string(texts::kClipboardEmpty)};
    }
    const SIZE_T size = GlobalSize(memory);
    if (size > kMaxClipboardBytes) {
        throw Unreadable{texts::Format(texts::kClipboardTooLarge, {std::to_string(size >> 20)})};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
    if (bytes == nullptr || size == 0) {
        throw Unreadable{std::string(texts::kClipboardEmpty)};
    }
    std::vector<std::uint8_t> copy(bytes, bytes + size);
    GlobalUnlock(memory);
    return copy;
}

// A DIB becomes a BMP file by a file header in front of it: where its pixels start is
// worked out from its header, colour table and bit masks.
std::vector<std::uint8_t> BmpFileOf(const std::vector<std::uint8_t>& dib) {
    BITMAPINFOHEADER header;
    if (dib.size() < sizeof(header)) {
        throw Unreadable{texts::PictureReason(PictureProblem::NotAPicture)};
    }
    std::memcpy(&header, dib.data(), sizeof(header));
    std::size_t offset = header.biSize;
    if (header.biSize == sizeof(BITMAPINFOHEADER) && header.biCompression == BI_BITFIELDS) {
        offset += 3 * sizeof(DWORD);
    }
    std::size_t colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8) {
        colours = std::size_t{1} << header.biBitCount;
    }
    offset += colours * sizeof(RGBQUAD);
    if (header.biSize < sizeof(header) || offset > dib.size()) {
        throw Unreadable{texts::PictureReason(PictureProblem::NotAPicture)};
    }
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(sizeof(file) + dib.size());
    file.bfOffBits = static_cast<DWORD>(sizeof(file) + offset);
    std::vector<std::uint8_t> bmp(sizeof(file));
    std::memcpy(bmp.data(), &file, sizeof(file));
    bmp.insert(bmp.end(), dib.begin(), dib.end());
    return bmp;
}

// A GDI bitmap's pixels, as a 24-bit top-down DIB.
imaging::Bitmap BitmapOf(HBITMAP handle) {
    BITMAP info;
    if (handle == nullptr || GetObjectW(handle, sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
        info.bmHeight <= 0) {
        throw Unreadable{std::string(texts::kClipboardEmpty)};
    }
    imaging::Bitmap bitmap(info.bmWidth, info.bmHeight, imaging::PixelFormat::Bgr24);
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = BI_RGB;
    const HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, handle, 0, static_cast<UINT>(info.bmHeight), bitmap.Bits(),
                               &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight) {
        throw Unreadable{texts::PictureReason(PictureProblem::NotAPicture)};
    }
    return bitmap;
}

imaging::Bitmap Decode(std::vector<std::uint8_t> bytes) {
    try {
        return pictures::DecodePicture(std::move(bytes));
    } catch (const imaging::EPictureFile& error) {
        throw Unreadable{texts::PictureReason(error.Problem(), error.Detail())};
    } catch (const std::exception& error) {
        throw Unreadable{error.what()};  // a JPEG's error code
    }
}

}  // namespace

SystemClipboard::SystemClipboard() : m_png_format(RegisterClipboardFormatW(L"PNG")) {}

bool SystemClipboard::HasBitmap() {
    if (m_refused && GetClipboardSequenceNumber() == m_refused_at) {
        return false;
    }
    m_refused = false;
    return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP) ||
           (m_png_format != 0 && IsClipboardFormatAvailable(m_png_format));
}

bool SystemClipboard::Open() {
    const DWORD start = GetTickCount();
    while (!OpenClipboard(m_owner)) {
        if (GetTickCount() - start >= kOpenDeadlineMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

// A picture that cannot be read is not asked for again until the clipboard changes;
// asking every second would only repeat the error.
imaging::Bitmap SystemClipboard::CopyBitmap() {
    std::string reason(texts::kClipboardOwnerSilent);
    {
        ClipboardScope scope;
        if (Open()) {
            scope.Opened();
            try {
                if (IsClipboardFormatAvailable(CF_DIB)) {
                    return Decode(BmpFileOf(GlobalBytes(GetClipboardData(CF_DIB))));
                }
                if (m_png_format != 0 && IsClipboardFormatAvailable(m_png_format)) {
                    return Decode(GlobalBytes(GetClipboardData(m_png_format)));
                }
                return BitmapOf(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
            } catch (const Unreadable& unreadable) {
                reason = unreadable.reason;
            }
        }
    }
    m_refused = true;
    m_refused_at = GetClipboardSequenceNumber();
    throw imaging::EInvalidGraphic(texts::Format(texts::kUnreadableClipboard, {reason}));
}

void SystemClipboard::Empty() {
    if (Open()) {
        EmptyClipboard();
        CloseClipboard();
    }
}

}  // namespace win32ui

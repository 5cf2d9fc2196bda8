#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "imaging/bitmap.h"

namespace imaging {

// Bad picture data: a file that is not what its type claims, or that cannot be decoded.
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An operation that a picture type does not support, such as resizing a JPEG.
class EInvalidGraphicOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A picture that a picture control can hold: a JPEG or a plain bitmap.
class TGraphic {
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;
    virtual ~TGraphic() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool IsEmpty() const = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;

    // Copies the pixels, size, format and palette into the target.
    virtual void AssignTo(Bitmap& target) = 0;

    // The pixels a picture control paints (scaled to its rectangle when stretching).
    virtual const Bitmap& DrawingBitmap() = 0;

    // The palette of the pixels to draw; empty when the picture has none.
    virtual std::vector<PaletteEntry> Palette() const = 0;

    // Set when the picture's palette may have changed; its observer clears it once it has
    // taken the palette over.
    bool PaletteModified() const { return m_palette_modified; }
    void SetPaletteModified(bool modified) { m_palette_modified = modified; }

    // Called by Changed(), so that the control showing the picture repaints.
    std::function<void()> OnChange;

protected:
    void Changed() {
        if (OnChange) {
            OnChange();
        }
    }

private:
    bool m_palette_modified = false;
};

// A plain bitmap as a picture: clipboard pictures and test patterns.
class TBitmapGraphic : public TGraphic {
public:
    TBitmapGraphic() = default;
    explicit TBitmapGraphic(Bitmap bitmap) { SetBitmap(std::move(bitmap)); }

    int Width() const override { return m_bitmap.Width(); }
    int Height() const override { return m_bitmap.Height(); }
    bool IsEmpty() const override { return m_bitmap.IsEmpty(); }
    void SetWidth(int width) override {
        m_bitmap.SetWidth(width);
        Changed();
    }
    void SetHeight(int height) override {
        m_bitmap.SetHeight(height);
        Changed();
    }
    void AssignTo(Bitmap& target) override { target = m_bitmap; }
    const Bitmap& DrawingBitmap() override { return m_bitmap; }
    std::vector<PaletteEntry> Palette() const override { return m_bitmap.Palette(); }

    // Replaces the pixels and tells the observer; an indexed bitmap brings its own palette.
    void SetBitmap(Bitmap bitmap) {
        m_bitmap = std::move(bitmap);
        if (m_bitmap.Format() == PixelFormat::Indexed8) {
            SetPaletteModified(true);
        }
        Changed();
    }

private:
    Bitmap m_bitmap;
};

}  // namespace imaging

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

enum class PixelFormat {
    Bgr24,     // three bytes per pixel: blue, green, red
    Indexed8,  // one palette index per pixel
};

struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// A picture addressed row by row, top row first. Rows are padded to a multiple of four
// bytes, so a toolkit image can wrap the pixels without copying them.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, PixelFormat format);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    PixelFormat Format() const { return m_format; }
    bool IsEmpty() const { return m_width == 0 || m_height == 0; }
    std::size_t Stride() const { return m_stride; }
    std::size_t BytesPerPixel() const { return m_format == PixelFormat::Bgr24 ? 3 : 1; }

    std::uint8_t* Row(int y) { return m_pixels.data() + static_cast<std::size_t>(y) * m_stride; }
    const std::uint8_t* Row(int y) const {
        return m_pixels.data() + static_cast<std::size_t>(y) * m_stride;
    }
    std::uint8_t* Bits() { return m_pixels.data(); }
    const std::uint8_t* Bits() const { return m_pixels.data(); }

    // The palette of an Indexed8 picture; a fresh one holds 256 grays, index 0 black and
    // index 255 white. Empty for Bgr24.
    const std::vector<PaletteEntry>& Palette() const { return m_palette; }
    void SetPalette(std::vector<PaletteEntry> palette);

    // Crop or extend, keeping the top-left corner; never scales. Added area is white.
    void SetWidth(int width);
    void SetHeight(int height);

    // Converts the pixels to another format. To Indexed8 the picture becomes gray levels
    // (luma) under the gray palette.
    void SetPixelFormat(PixelFormat format);

    friend bool operator==(const Bitmap&, const Bitmap&) = default;

private:
    void Resize(int width, int height);
    std::uint8_t WhiteIndex() const;

    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::Bgr24;
    std::size_t m_stride = 0;
    std::vector<std::uint8_t> m_pixels;
    std::vector<PaletteEntry> m_palette;
};

std::size_t StrideFor(int width, PixelFormat format);
std::vector<PaletteEntry> GrayPalette();

}  // namespace imaging

#include "imaging/bitmap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "imaging/luma.h"

namespace imaging {

namespace {

constexpr std::uint8_t kWhite = 0xFF;

void CheckSize(int width, int height) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument("Invalid bitmap size");
    }
}

}  // namespace

std::size_t StrideFor(int width, PixelFormat format) {
    const std::size_t bytes =
        static_cast<std::size_t>(width) * (format == PixelFormat::Bgr24 ? 3 : 1);
    return (bytes + 3) & ~static_cast<std::size_t>(3);
}

std::vector<PaletteEntry> GrayPalette() {
    std::vector<PaletteEntry> palette(256);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        palette[i] = {v, v, v};
    }
    return palette;
}

Bitmap::Bitmap(int width, int height, PixelFormat format) : m_format(format) {
    if (format == PixelFormat::Indexed8) {
        m_palette = GrayPalette();
    }
    Resize(width, height);
}

void Bitmap::SetPalette(std::vector<PaletteEntry> palette) {
    if (m_format == PixelFormat::Indexed8) {
        m_palette = std::move(palette);
    }
}

void Bitmap::SetWidth(int width) {
    Resize(width, m_height);
}

void Bitmap::SetHeight(int height) {
    Resize(m_width, height);
}

std::uint8_t Bitmap::WhiteIndex() const {
    if (m_format == PixelFormat::Bgr24) {
        return kWhite;
    }
    // The brightest entry stands in for white in a palette that lacks it.
    std::uint8_t best = 0;
    int best_sum = -1;
    for (std::size_t i = 0; i < m_palette.size() && i < 256; ++i) {
        const int sum = m_palette[i].red + m_palette[i].green + m_palette[i].blue;
        if (sum > best_sum) {
            best_sum = sum;
            best = static_cast<std::uint8_t>(i);
        }
    }
    return m_palette.empty() ? kWhite : best;
}

void Bitmap::Resize(int width, int height) {
    CheckSize(width, height);
    if (width == m_width && height == m_height) {
        return;
    }
    const std::size_t new_stride = StrideFor(width, m_format);
    std::vector<std::uint8_t> pixels(new_stride * static_cast<std::size_t>(height), WhiteIndex());
    const std::size_t kept_bytes =
        static_cast<std::size_t>(std::min(width, m_width)) * BytesPerPixel();
    const int kept_rows = std::min(height, m_height);
    for (int y = 0; y < kept_rows; ++y) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * new_stride, Row(y), kept_bytes);
    }
    m_pixels = std::move(pixels);
    m_stride = new_stride;
    m_width = width;
    m_height = height;
}

void Bitmap::SetPixelFormat(PixelFormat format) {
    if (format == m_format) {
        return;
    }
    Bitmap converted(m_width, m_height, format);
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t* src = Row(y);
        std::uint8_t* dst = converted.Row(y);
        if (format == PixelFormat::Bgr24) {
            for (int x = 0; x < m_width; ++x) {
                const PaletteEntry entry =
                    src[x] < m_palette.size() ? m_palette[src[x]] : PaletteEntry{};
                dst[3 * x + 0] = entry.blue;
                dst[3 * x + 1] = entry.green;
                dst[3 * x + 2] = entry.red;
            }
        } else {
            for (int x = 0; x < m_width; ++x) {
                dst[x] = Luma(src[3 * x + 2], src[3 * x + 1], src[3 * x + 0]);
            }
        }
    }
    *this = std::move(converted);
}

}  // namespace imaging

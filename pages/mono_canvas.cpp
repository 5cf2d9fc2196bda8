#include "pages/mono_canvas.h"

namespace pages {

MonoCanvas::MonoCanvas(int width, int height, bool light)
    : m_width(width), m_height(height), m_light(static_cast<std::size_t>(width * height), light) {}

bool MonoCanvas::At(int x, int y) const {
    return x >= 0 && y >= 0 && x < m_width && y < m_height &&
           m_light[static_cast<std::size_t>(y * m_width + x)];
}

void MonoCanvas::Set(int x, int y, bool light) {
    if (x >= 0 && y >= 0 && x < m_width && y < m_height) {
        m_light[static_cast<std::size_t>(y * m_width + x)] = light;
    }
}

std::vector<std::uint8_t> MonoCanvas::Frame() const {
    const int row_bytes = m_width / 8;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(row_bytes * m_height), 0);
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < row_bytes * 8; ++x) {
            if (At(x, y)) {
                frame[static_cast<std::size_t>(y * row_bytes + x / 8)] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return frame;
}

}  // namespace pages

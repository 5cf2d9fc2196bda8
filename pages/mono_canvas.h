#pragma once

#include <cstdint>
#include <vector>

namespace pages {

// A page's pixels at one bit: true for a light pixel. Drawing outside is clipped.
class MonoCanvas {
public:
    MonoCanvas(int width, int height, bool light);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool At(int x, int y) const;
    void Set(int x, int y, bool light);
    // The module's frame layout: rows of width / 8 bytes, the leftmost pixel in the most
    // significant bit, 1 for light.
    std::vector<std::uint8_t> Frame() const;

    bool operator==(const MonoCanvas& other) const = default;

private:
    int m_width;
    int m_height;
    std::vector<bool> m_light;
};

}  // namespace pages

#pragma once

#include <cstdint>
#include <span>

namespace sim {

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

// The colour of a light pixel: colour index bit 0 red, bit 1 green, bit 2 blue, each
// channel at a level set by the brightness (0..3, in quarters of full scale, so that
// brightness 0 is dim but still visible).
Rgb LightPixelColor(int color, int brightness);

// Whether the pixel at (x, y) of a 480 x 480 screen memory is light (bit set).
bool PixelIsLight(std::span<const std::uint8_t> screen, int x, int y);

}  // namespace sim

#include "sim/screen_render.h"

#include "sim/module_state_machine.h"

namespace sim {

Rgb LightPixelColor(int color, int brightness) {
    const auto level = static_cast<std::uint8_t>(255 * (brightness + 1) / 4);
    auto channel = [&](int bit) { return (color & (1 << bit)) ? level : std::uint8_t{0}; };
    return Rgb{channel(0), channel(1), channel(2)};
}

bool PixelIsLight(std::span<const std::uint8_t> screen, int x, int y) {
    const std::uint8_t byte = screen[static_cast<std::size_t>(y) * kRowBytes + x / 8];
    return (byte >> (7 - x % 8)) & 1;
}

}  // namespace sim

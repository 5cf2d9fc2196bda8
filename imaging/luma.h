#pragma once

#include <cstdint>

namespace imaging {

// The one luma of the product, by channel meaning. The weights add up to 256, so the result
// is 0..255, and the weighted sum (at most 255 * 256) fits 16 bits: the cast tells the
// vectoriser it may work in 16-bit lanes without changing a single value.
constexpr std::uint8_t Luma(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const auto weighted = static_cast<std::uint16_t>(77 * red + 151 * green + 28 * blue);
    return static_cast<std::uint8_t>(weighted >> 8);
}

}  // namespace imaging

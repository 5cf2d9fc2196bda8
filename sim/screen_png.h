#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace sim {

// Writes the screen as it looks (480 x 480, light pixels in the screen colour, dark ones
// black) to a PNG file. The file is replaced in one step, so a reader never sees half of
// it. False when it cannot be written.
bool WriteScreenPng(const std::string& path, std::span<const std::uint8_t> screen, int color,
                    int brightness);

}  // namespace sim

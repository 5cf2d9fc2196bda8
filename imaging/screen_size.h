#pragma once

#include <cstddef>

// The screen the pictures are made for: 480 x 480 pixels, one bit each, rows of 60 bytes.
// The module's own words for it are protocol's; the panel checks that the two agree.
namespace imaging {

inline constexpr int kScreenWidth = 480;
inline constexpr int kScreenHeight = 480;
inline constexpr std::size_t kFrameBytes = kScreenWidth / 8 * kScreenHeight;

}  // namespace imaging

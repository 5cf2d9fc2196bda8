#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The module's frame layout, written once for every test: one bit a pixel, rows of
// width / 8 bytes one after another, the leftmost pixel of each byte in bit 7. Spelled out
// here rather than taken from the product, so that a fault in its layout shows.
namespace testing_support {

inline constexpr int kScreenSide = 480;
inline constexpr std::size_t kFrameBytes = 28800;  // 480 rows of 60 bytes

inline std::size_t FrameByteOf(int x, int y, int width) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width / 8) +
           static_cast<std::size_t>(x / 8);
}
inline std::uint8_t FrameMaskOf(int x) {
    return static_cast<std::uint8_t>(0x80 >> (x % 8));
}

inline bool FrameBit(std::span<const std::uint8_t> frame, int x, int y, int width = kScreenSide) {
    return (frame[FrameByteOf(x, y, width)] & FrameMaskOf(x)) != 0;
}

inline void SetFrameBit(std::span<std::uint8_t> frame, int x, int y, int width = kScreenSide) {
    frame[FrameByteOf(x, y, width)] |= FrameMaskOf(x);
}

// The frame whose bits are set where is_set(x, y) holds.
template <typename IsSet>
std::vector<std::uint8_t> PackFrame(IsSet is_set, int width = kScreenSide,
                                    int height = kScreenSide) {
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width / 8 * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (is_set(x, y))
                SetFrameBit(frame, x, y, width);
    return frame;
}

// Raw 8-bit grays, one byte a pixel, that a threshold of 128 turns into a frame whose bytes
// all equal `byte`.
inline std::string GrayFrameFor(std::uint8_t byte) {
    const std::vector<std::uint8_t> frame(kFrameBytes, byte);
    std::string gray(kScreenSide * kScreenSide, '\0');
    for (int i = 0; i < kScreenSide * kScreenSide; ++i)
        gray[static_cast<std::size_t>(i)] =
            FrameBit(frame, i % kScreenSide, i / kScreenSide) ? '\xFF' : '\0';
    return gray;
}

}  // namespace testing_support

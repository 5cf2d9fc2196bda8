#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "imaging/bitmap.h"
#include "imaging/mono_frame.h"

namespace imaging {

// Ways to turn gray into black and white. All work in integers, so a picture gives the same
// frame on every platform. Y is a pixel's luma; light means a set bit.
enum class DitherMethod {
    // Error diffusion with serpentine scan: even rows left to right, odd rows right to left.
    // A pixel's value is Y plus the error it has received, kept in sixteenths and rounded to
    // the nearest whole gray, halves up: Y + ((received + 8) >> 4). It is light when the
    // value is above 127, and its error (value minus 255 if light, else the value) goes in
    // whole sixteenths: 7 to the next pixel in scan order, 3 to the one behind it on the next
    // row, 5 straight below, 1 ahead of that. Only the rounding and the edges lose error, so
    // the share of light pixels follows the gray.
    FloydSteinberg,
    // Error diffusion, every row left to right. A pixel's value is Y plus the error received,
    // kept in eighths and rounded the same way: Y + ((received + 4) >> 3); light above 127.
    // One eighth of the error goes to each of x+1 and x+2 on the row, x-1, x and x+1 on the
    // next row and x on the row after. The other quarter is dropped on purpose: contrast
    // stays high and flat areas come out clean.
    Atkinson,
    // Ordered, no error: light when Y > 4 * M[y % 8][x % 8] + 2, with M the recursive 8x8
    // index matrix (top row 0 32 8 40 2 34 10 42). A flat gray g lights (g + 1) / 4 pixels
    // of every 8x8 tile: none at 0, half at 128, all at 255.
    Bayer8,
};

// The ways to binarize a picture as people choose them: the threshold (no method), then each
// method, by its name on a command line and its title in a menu.
struct BinarizationChoice {
    std::optional<DitherMethod> method;
    std::string_view name;
    std::string_view title;
};

inline constexpr std::array<BinarizationChoice, 4> kBinarizationChoices = {{
    {std::nullopt, "none", "阈值"},
    {DitherMethod::FloydSteinberg, "floyd", "Floyd–Steinberg"},
    {DitherMethod::Atkinson, "atkinson", "Atkinson"},
    {DitherMethod::Bayer8, "bayer", "Bayer 8×8"},
}};

// Dithers lumas into a monochrome frame laid out as Binarize writes it: width / 8 bytes per
// row, rows one after another, leftmost pixel in bit 7, 1 = light.
void Dither(const LumaPlane& lumas, std::span<std::uint8_t> frame, DitherMethod method);

// Dither on the lumas of a 24-bit picture.
void Dither(const Bitmap& picture, std::span<std::uint8_t> frame, DitherMethod method);

}  // namespace imaging

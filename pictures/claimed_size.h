#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The size a picture file claims in its own header, read before any decoder sees the bytes:
// some decoders take the whole picture's memory before they report its size. Plain C++, so
// that every platform's readers apply the same limit with the same words.
namespace pictures {

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The most pixels a picture file may have: 128 MiB of 32-bit pixels, what the readers
// allocate while they decode.
inline constexpr std::uint64_t kMaxPicturePixels = 32ull << 20;

// What the header of a PNG, BMP, GIF, PBM/PGM/PPM, ICO or CUR, TIFF, JPEG XR or DDS file
// claims: a GIF the larger of its screen and its frames, an icon its largest picture as
// its embedded PNG or bitmap header says. Nothing for any other content, or a header that
// is cut short or makes no sense.
std::optional<PictureSize> ClaimedSize(std::span<const std::uint8_t> bytes);

// Raises imaging::EPictureFile: NotAPicture for no pixels at all, PictureTooLarge ("W × H")
// past kMaxPicturePixels.
void CheckPictureSize(PictureSize size);

}  // namespace pictures

#include "imaging/dither.h"

#include <stdexcept>
#include <utility>
#include <vector>

namespace imaging {

namespace {

constexpr int kLightAbove = 127;

constexpr std::uint8_t kBayerIndex[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

// All ones when a pixel is light, else 0, from its value scaled by 2^kFraction with the
// received fraction already rounded in. No branch: light and dark follow each other too
// irregularly to be predicted. The mark is the mask's low byte, and the error the value
// less the mask's 255.
template <int kFraction>
int LightMask(int scaled) {
    constexpr int kDarkUpTo = ((kLightAbove + 1) << kFraction) - 1;
    return (kDarkUpTo - scaled) >> 31;
}

// The half that rounds a pixel's sixteenths to the nearest whole gray. It travels in the
// error row, one per entry, which keeps it off the chain from pixel to pixel.
constexpr int kHalf = 8;

// One row in direction kStep (+1 or -1). `errors` comes in holding, in sixteenths, what each
// pixel of this row received from the row above plus kHalf, and leaves holding the same for
// the next row: each entry is rewritten once the scan has moved past it. Entries -1 and
// width take the shares that fall off the edges. The shares still owed to the next row live
// in registers, so the loop's only memory traffic is one load and one store a pixel.
template <int kStep>
void FloydSteinbergRow(const std::uint8_t* luma, int width, int* errors, std::uint8_t* marks) {
    int x = kStep > 0 ? 0 : width - 1;
    int previous = 0;        // the error of the pixel before, in scan order
    int below_previous = 0;  // the next row's share below that pixel, so far
    int ahead = 0;           // seven times that error: this pixel's share
    for (int i = 0; i < width; ++i, x += kStep) {
        const int scaled = 16 * luma[x] + errors[x] + ahead;
        const int light = LightMask<4>(scaled);
        const int value = scaled >> 4;
        const int error = value - (light & 255);
        marks[x] = static_cast<std::uint8_t>(light);
        // The loop is bound by the chain from one pixel's value to the next: seven times the
        // error, taken from the value and the mask, is a step shorter than from the error.
        ahead = 7 * value - (light & (7 * 255));
        errors[x - kStep] = below_previous + 3 * error + kHalf;
        below_previous = previous + 5 * error;
        previous = error;
    }
    errors[x - kStep] = below_previous + kHalf;
}

void DitherFloydSteinberg(const LumaPlane& lumas, std::uint8_t* marks, std::uint8_t* out,
                          std::size_t row_bytes) {
    std::vector<int> padded(static_cast<std::size_t>(lumas.width) + 2, kHalf);
    int* errors = padded.data() + 1;
    for (int y = 0; y < lumas.height; ++y, out += row_bytes) {
        if (y % 2 == 0) {
            FloydSteinbergRow<1>(lumas.Row(y), lumas.width, errors, marks);
        } else {
            FloydSteinbergRow<-1>(lumas.Row(y), lumas.width, errors, marks);
        }
        PackMarks(marks, row_bytes, out);
    }
}

// One row, left to right. `received` holds, in eighths, what this row's pixels got from the
// two rows above, and `next` what the next row's got from the row above; `after` is written
// whole with what the row after next gets. All three are padded by one entry on the left.
void AtkinsonRow(const std::uint8_t* luma, int width, const int* received, int* next, int* after,
                 std::uint8_t* marks) {
    int previous = 0;         // the error of pixel x - 1
    int before_previous = 0;  // the error of pixel x - 2
    after[-1] = 0;            // so that its sums start from zero when it is the next row
    for (int x = 0; x < width; ++x) {
        const int scaled = 8 * luma[x] + received[x] + before_previous + 4 + previous;
        const int light = LightMask<3>(scaled);
        const int error = (scaled >> 3) - (light & 255);
        marks[x] = static_cast<std::uint8_t>(light);
        next[x - 1] += before_previous + previous + error;
        after[x] = error;
        before_previous = previous;
        previous = error;
    }
    if (width > 0) {
        next[width - 1] += before_previous + previous;
    }
}

void DitherAtkinson(const LumaPlane& lumas, std::uint8_t* marks, std::uint8_t* out,
                    std::size_t row_bytes) {
    const std::size_t padded = static_cast<std::size_t>(lumas.width) + 1;
    std::vector<int> rows(3 * padded, 0);
    int* received = rows.data() + 1;
    int* next = received + padded;
    int* after = next + padded;
    for (int y = 0; y < lumas.height; ++y, out += row_bytes) {
        AtkinsonRow(lumas.Row(y), lumas.width, received, next, after, marks);
        PackMarks(marks, row_bytes, out);
        received = std::exchange(next, std::exchange(after, received));
    }
}

// Each of the eight rows of limits, 4 * M + 2, repeated across the width, so that marking a
// row compares two plain arrays.
std::vector<std::uint8_t> BayerLimits(int width) {
    std::vector<std::uint8_t> limits(8 * static_cast<std::size_t>(width));
    for (int row = 0; row < 8; ++row) {
        for (int x = 0; x < width; ++x) {
            limits[static_cast<std::size_t>(row * width + x)] =
                static_cast<std::uint8_t>(4 * kBayerIndex[row][x % 8] + 2);
        }
    }
    return limits;
}

// 0xFF where the luma is strictly above its limit, else 0. PANEL_VECTOR_CLONES, from the
// build, compiles the loop once per instruction set where the toolchain can pick one at
// load time, and is empty elsewhere.
PANEL_VECTOR_CLONES
void MarkAbove(const std::uint8_t* __restrict luma, const std::uint8_t* __restrict limits,
               std::size_t count, std::uint8_t* __restrict marks) {
    for (std::size_t i = 0; i < count; ++i) {
        marks[i] = luma[i] > limits[i] ? 0xFF : 0;
    }
}

void DitherBayer(const LumaPlane& lumas, std::uint8_t* marks, std::uint8_t* out,
                 std::size_t row_bytes) {
    const std::vector<std::uint8_t> limits = BayerLimits(lumas.width);
    const auto width = static_cast<std::size_t>(lumas.width);
    for (int y = 0; y < lumas.height; ++y, out += row_bytes) {
        MarkAbove(lumas.Row(y), limits.data() + width * static_cast<std::size_t>(y % 8), width,
                  marks);
        PackMarks(marks, row_bytes, out);
    }
}

}  // namespace

void Dither(const LumaPlane& lumas, std::span<std::uint8_t> frame, DitherMethod method) {
    const std::size_t row_bytes = static_cast<std::size_t>(lumas.width / 8);
    if (frame.size() < row_bytes * static_cast<std::size_t>(lumas.height)) {
        throw std::invalid_argument("frame too small for the picture");
    }
    std::vector<std::uint8_t> marks(static_cast<std::size_t>(lumas.width) + 8);
    switch (method) {
        case DitherMethod::FloydSteinberg:
            DitherFloydSteinberg(lumas, marks.data(), frame.data(), row_bytes);
            break;
        case DitherMethod::Atkinson:
            DitherAtkinson(lumas, marks.data(), frame.data(), row_bytes);
            break;
        case DitherMethod::Bayer8:
            DitherBayer(lumas, marks.data(), frame.data(), row_bytes);
            break;
    }
}

void Dither(const Bitmap& picture, std::span<std::uint8_t> frame, DitherMethod method) {
    // Kept between calls so that the hot path does not map fresh memory each time.
    thread_local std::vector<std::uint8_t> storage;
    Dither(LumaPlaneOf(picture, storage), frame, method);
}

}  // namespace imaging

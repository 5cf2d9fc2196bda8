// The one scaler on the frame's path. Each axis is scaled on its own: area averaging when
// it shrinks (every source pixel weighs by how much of it the output pixel covers), and
// bilinear interpolation between pixel centres when it grows. Weights are 14-bit fixed
// point and sum exactly to one, so a plain colour stays exactly that colour.
#include "imaging/screen_scaler.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "imaging/screen_size.h"
#include "imaging/working_picture.h"

namespace imaging {

namespace {

constexpr int kSide = kScreenWidth;
constexpr int kWeightBits = 14;
constexpr std::int64_t kOne = std::int64_t{1} << kWeightBits;
// The vertical pass keeps 8 bits below the pixel value for the horizontal one.
constexpr int kMiddleShift = kWeightBits - 8;
constexpr int kFinalShift = kWeightBits + 8;

// For each output pixel of one axis: the first source pixel it reads and the weights of
// that pixel and the ones after it.
struct AxisTaps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> offset;  // into weights
    std::vector<std::uint16_t> weights;

    void Add(int first_pixel, const std::vector<std::int64_t>& raw) {
        first.push_back(first_pixel);
        count.push_back(static_cast<int>(raw.size()));
        offset.push_back(static_cast<int>(weights.size()));
        // Each weight is the step between rounded running totals: none is negative and
        // together they make exactly one, however many there are.
        std::int64_t total = 0;
        for (const std::int64_t part : raw) {
            total += part;
        }
        std::int64_t running = 0;
        std::int64_t previous_edge = 0;
        for (const std::int64_t part : raw) {
            running += part;
            const std::int64_t edge = (running * kOne + total / 2) / total;
            weights.push_back(static_cast<std::uint16_t>(edge - previous_edge));
            previous_edge = edge;
        }
    }
};

// Output pixel i covers [i * in, (i + 1) * in) in units where source pixel j covers
// [j * out, (j + 1) * out).
AxisTaps AreaTaps(int in, int out) {
    AxisTaps taps;
    for (int i = 0; i < out; ++i) {
        const std::int64_t begin = std::int64_t{i} * in;
        const std::int64_t end = begin + in;
        const int first = static_cast<int>(begin / out);
        std::vector<std::int64_t> raw;
        for (int j = first; std::int64_t{j} * out < end; ++j) {
            const std::int64_t from = std::max(begin, std::int64_t{j} * out);
            const std::int64_t to = std::min(end, std::int64_t{j + 1} * out);
            raw.push_back(to - from);
        }
        taps.Add(first, raw);
    }
    return taps;
}

// Output pixel i's centre lies at ((2i + 1) * in - out) / (2 * out) source pixels, between
// two source centres; outside the outermost centres the edge pixel holds.
AxisTaps BilinearTaps(int in, int out) {
    AxisTaps taps;
    const std::int64_t denominator = 2 * std::int64_t{out};
    for (int i = 0; i < out; ++i) {
        const std::int64_t position = (2 * std::int64_t{i} + 1) * in - out;
        if (position <= 0) {
            taps.Add(0, {1});
            continue;
        }
        const int first = static_cast<int>(position / denominator);
        const std::int64_t fraction = position % denominator;
        if (first >= in - 1 || fraction == 0) {
            taps.Add(std::min(first, in - 1), {1});
            continue;
        }
        taps.Add(first, {denominator - fraction, fraction});
    }
    return taps;
}

AxisTaps TapsFor(int in, int out) {
    return out < in ? AreaTaps(in, out) : BilinearTaps(in, out);
}

// Source rows of `channels` bytes a pixel, from (left, top), into an output of the same
// channels.
struct Plane {
    const std::uint8_t* pixels;
    std::size_t stride;
    int channels;
};

// sums += weight * row, value by value: the loop the vectoriser takes, built per
// instruction set where the toolchain can choose at load time.
PANEL_VECTOR_CLONES
void Accumulate(std::uint32_t* sums, const std::uint8_t* row, std::size_t count,
                std::uint32_t weight) {
    for (std::size_t v = 0; v < count; ++v) {
        sums[v] += weight * row[v];
    }
}

PANEL_VECTOR_CLONES
void Narrow(const std::uint32_t* sums, std::uint16_t* middle, std::size_t count) {
    for (std::size_t v = 0; v < count; ++v) {
        middle[v] =
            static_cast<std::uint16_t>((sums[v] + (1u << (kMiddleShift - 1))) >> kMiddleShift);
    }
}

// One row of the vertical pass's values across, `Channels` values a pixel.
template <int Channels>
void ScaleAcross(const AxisTaps& columns, const std::uint16_t* middle, std::uint8_t* target,
                 int out_width) {
    constexpr std::uint32_t kHalf = 1u << (kFinalShift - 1);
    for (int x = 0; x < out_width; ++x) {
        const std::uint16_t* weights = &columns.weights[columns.offset[x]];
        const std::uint16_t* values =
            middle + static_cast<std::size_t>(columns.first[x]) * Channels;
        std::uint32_t sums[Channels] = {};
        for (int k = 0; k < columns.count[x]; ++k, values += Channels) {
            for (int c = 0; c < Channels; ++c) {
                sums[c] += std::uint32_t{weights[k]} * values[c];
            }
        }
        for (int c = 0; c < Channels; ++c) {
            target[x * Channels + c] = static_cast<std::uint8_t>((sums[c] + kHalf) >> kFinalShift);
        }
    }
}

void ScalePlane(const Plane& source, int left, int top, int width, int height, std::uint8_t* out,
                std::size_t out_stride, int out_width, int out_height) {
    const AxisTaps rows = TapsFor(height, out_height);
    const AxisTaps columns = TapsFor(width, out_width);
    const int channels = source.channels;
    const std::size_t row_values = static_cast<std::size_t>(width) * channels;
    std::vector<std::uint32_t> sums(row_values);
    std::vector<std::uint16_t> middle(row_values);
    for (int y = 0; y < out_height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = 0; k < rows.count[y]; ++k) {
            const std::size_t source_row = static_cast<std::size_t>(top + rows.first[y] + k);
            Accumulate(sums.data(),
                       source.pixels + source.stride * source_row +
                           static_cast<std::size_t>(left) * channels,
                       row_values, rows.weights[rows.offset[y] + k]);
        }
        Narrow(sums.data(), middle.data(), row_values);
        std::uint8_t* target = out + out_stride * static_cast<std::size_t>(y);
        if (channels == 3) {
            ScaleAcross<3>(columns, middle.data(), target, out_width);
        } else {
            ScaleAcross<1>(columns, middle.data(), target, out_width);
        }
    }
}

Bitmap WhiteScreen() {
    Bitmap screen(kSide, kSide, PixelFormat::Bgr24);
    std::memset(screen.Bits(), 0xFF, screen.Stride() * kSide);
    return screen;
}

// Indexed pixels to their palette's colours, three bytes each.
void ExpandIndexed(const std::uint8_t* from, const std::vector<PaletteEntry>& palette, int count,
                   std::uint8_t* to) {
    for (int i = 0; i < count; ++i) {
        const PaletteEntry& entry = palette.at(from[i]);
        to[3 * i] = entry.blue, to[3 * i + 1] = entry.green, to[3 * i + 2] = entry.red;
    }
}

Bitmap ColoursOf(const Bitmap& indexed, int left, int top, int width, int height) {
    Bitmap colours(width, height, PixelFormat::Bgr24);
    for (int y = 0; y < height; ++y) {
        ExpandIndexed(indexed.Row(top + y) + left, indexed.Palette(), width, colours.Row(y));
    }
    return colours;
}

// Copies the picture's pixels at 1:1 onto the target from (x, y), as far as both reach.
void Draw(const Bitmap& picture, Bitmap& target, int x, int y) {
    const int width = std::min(picture.Width(), target.Width() - x);
    const int height = std::min(picture.Height(), target.Height() - y);
    for (int row = 0; row < height; ++row) {
        std::uint8_t* to = target.Row(y + row) + 3 * x;
        if (picture.Format() == PixelFormat::Bgr24) {
            std::memcpy(to, picture.Row(row), 3 * static_cast<std::size_t>(width));
        } else {
            ExpandIndexed(picture.Row(row), picture.Palette(), width, to);
        }
    }
}

// The top-left part with the screen's aspect ratio; the ratios are compared as 32-bit
// floats, like the sizes they stand for.
std::pair<int, int> SquareCrop(int width, int height) {
    const float width_ratio = static_cast<float>(width) * (1.0f / kSide);
    const float height_ratio = static_cast<float>(height) * (1.0f / kSide);
    if (width_ratio > height_ratio) {
        return {height * kSide / kSide, height};
    }
    return {width, width * kSide / kSide};
}

// The whole picture inside the screen, its aspect kept.
std::pair<int, int> InsideSize(int width, int height) {
    if (width >= height) {
        return {kSide,
                std::max(1, static_cast<int>((std::int64_t{height} * kSide + width / 2) / width))};
    }
    return {std::max(1, static_cast<int>((std::int64_t{width} * kSide + height / 2) / height)),
            kSide};
}

}  // namespace

Bitmap ScaleRegion(const Bitmap& source, int left, int top, int width, int height, int out_width,
                   int out_height) {
    if (left < 0 || top < 0 || width <= 0 || height <= 0 || left + width > source.Width() ||
        top + height > source.Height() || out_width <= 0 || out_height <= 0) {
        throw std::invalid_argument("Invalid scaling region");
    }
    if (source.Format() == PixelFormat::Indexed8) {
        const Bitmap colours = ColoursOf(source, left, top, width, height);
        return ScaleRegion(colours, 0, 0, width, height, out_width, out_height);
    }
    Bitmap scaled(out_width, out_height, PixelFormat::Bgr24);
    ScalePlane({source.Bits(), source.Stride(), 3}, left, top, width, height, scaled.Bits(),
               scaled.Stride(), out_width, out_height);
    return scaled;
}

Bitmap ComposeScreenPicture(const Bitmap& picture, bool scale) {
    if (!scale || picture.IsEmpty()) {
        Bitmap screen = WhiteScreen();
        Draw(picture, screen, 0, 0);
        return screen;
    }
    const auto [width, height] = SquareCrop(picture.Width(), picture.Height());
    return ScaleRegion(picture, 0, 0, width, height, kSide, kSide);
}

Bitmap FitToScreen(const Bitmap& picture, Fit fit) {
    if (fit == Fit::None || picture.IsEmpty()) {
        return PrepareWorkingPicture([&](Bitmap& target) { target = picture; });
    }
    const int width = picture.Width();
    const int height = picture.Height();
    switch (fit) {
        case Fit::Crop: {
            const int side = std::min(width, height);
            return ScaleRegion(picture, (width - side) / 2, (height - side) / 2, side, side, kSide,
                               kSide);
        }
        case Fit::Pad: {
            const auto [inside_width, inside_height] = InsideSize(width, height);
            Bitmap screen = WhiteScreen();
            Draw(ScaleRegion(picture, 0, 0, width, height, inside_width, inside_height), screen,
                 (kSide - inside_width) / 2, (kSide - inside_height) / 2);
            return screen;
        }
        default:
            return ScaleRegion(picture, 0, 0, width, height, kSide, kSide);
    }
}

LumaPlane FitGrayToScreen(const LumaPlane& gray, Fit fit, std::vector<std::uint8_t>& storage) {
    storage.assign(static_cast<std::size_t>(kSide) * kSide, 0xFF);
    const Plane source{gray.pixels, gray.stride, 1};
    const auto scale = [&](int left, int top, int width, int height, int x, int y, int out_width,
                           int out_height) {
        ScalePlane(source, left, top, width, height,
                   storage.data() + static_cast<std::size_t>(y) * kSide + x, kSide, out_width,
                   out_height);
    };
    const int width = gray.width;
    const int height = gray.height;
    switch (fit) {
        case Fit::Crop: {
            const int side = std::min(width, height);
            scale((width - side) / 2, (height - side) / 2, side, side, 0, 0, kSide, kSide);
            break;
        }
        case Fit::Pad: {
            const auto [inside_width, inside_height] = InsideSize(width, height);
            scale(0, 0, width, height, (kSide - inside_width) / 2, (kSide - inside_height) / 2,
                  inside_width, inside_height);
            break;
        }
        case Fit::Stretch:
            scale(0, 0, width, height, 0, 0, kSide, kSide);
            break;
        case Fit::None:
            for (int y = 0; y < std::min(height, kSide); ++y) {
                std::memcpy(storage.data() + static_cast<std::size_t>(y) * kSide, gray.Row(y),
                            static_cast<std::size_t>(std::min(width, kSide)));
            }
            break;
    }
    return {storage.data(), kSide, kSide, static_cast<std::size_t>(kSide)};
}

}  // namespace imaging

#include "pictures/claimed_size.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "imaging/picture_file.h"

namespace pictures {

namespace {

using namespace std::literals;
using Bytes = std::span<const std::uint8_t>;

// Numbers in a header of one byte order; every read is checked against the end first.
struct Header {
    Bytes bytes;
    bool big_endian = false;

    bool Has(std::uint64_t at, std::uint64_t count) const {
        return at <= bytes.size() && count <= bytes.size() - at;
    }
    bool Matches(std::uint64_t at, std::string_view text) const {
        return Has(at, text.size()) &&
               std::equal(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    }
    // An unsigned number of `size` bytes at `at`, where Has() said there is one.
    std::uint32_t At(std::uint64_t at, int size) const {
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) {
            value =
                value << 8 | bytes[at + static_cast<std::uint64_t>(big_endian ? i : size - 1 - i)];
        }
        return value;
    }
};

std::optional<PictureSize> PngSize(Bytes bytes) {
    const Header png{bytes, true};
    if (!png.Has(0, 24) || !png.Matches(0, "\x89PNG\r\n\x1A\n"sv) || !png.Matches(12, "IHDR"sv)) {
        return std::nullopt;
    }
    return PictureSize{png.At(16, 4), png.At(20, 4)};
}

// A bitmap's header: the old one with 16-bit sizes, or a later one with 32-bit signed
// ones, the height negative for rows top-down. An icon's bitmap counts its mask's rows in
// its height too.
std::optional<PictureSize> DibSize(Bytes bytes, std::uint64_t at, bool with_mask) {
    const Header dib{bytes};
    if (!dib.Has(at, 4)) {
        return std::nullopt;
    }
    const std::uint32_t header = dib.At(at, 4);
    const int field = header == 12 ? 2 : 4;
    if ((header != 12 && header < 16) || !dib.Has(at + 4, 2 * field)) {
        return std::nullopt;
    }
    std::int64_t width = dib.At(at + 4, field);
    std::int64_t height = dib.At(at + 4 + field, field);
    if (field == 4) {
        width = static_cast<std::int32_t>(width);
        height = static_cast<std::int32_t>(height);
        height = std::max(height, -height);
    }
    if (width < 0) {
        return std::nullopt;
    }
    return PictureSize{static_cast<std::uint32_t>(width),
                       static_cast<std::uint32_t>(with_mask ? height / 2 : height)};
}

std::optional<PictureSize> BmpSize(Bytes bytes) {
    return Header{bytes}.Matches(0, "BM"sv) ? DibSize(bytes, 14, false) : std::nullopt;
}

std::uint64_t ColourTableBytes(std::uint32_t flags) {
    return flags & 0x80 ? 3u << ((flags & 7) + 1) : 0;
}

// Past a run of data blocks, each led by its length, the last one empty.
std::uint64_t SkipBlocks(const Header& gif, std::uint64_t at) {
    while (gif.Has(at, 1)) {
        const std::uint32_t length = gif.At(at, 1);
        at += 1 + length;
        if (length == 0) {
            break;
        }
    }
    return at;
}

// The screen, and every frame: one reader takes the screen's memory, another each frame's.
std::optional<PictureSize> GifSize(Bytes bytes) {
    const Header gif{bytes};
    if (!gif.Has(0, 13) || !(gif.Matches(0, "GIF87a"sv) || gif.Matches(0, "GIF89a"sv))) {
        return std::nullopt;
    }
    PictureSize size{gif.At(6, 2), gif.At(8, 2)};
    std::uint64_t at = 13 + ColourTableBytes(gif.At(10, 1));
    while (gif.Has(at, 2)) {
        if (gif.At(at, 1) == 0x2C && gif.Has(at, 10)) {  // a frame, its colours, its code size
            size.width = std::max(size.width, gif.At(at + 5, 2));
            size.height = std::max(size.height, gif.At(at + 7, 2));
            at += 10 + ColourTableBytes(gif.At(at + 9, 1)) + 1;
        } else if (gif.At(at, 1) == 0x21) {  // an extension and its label
            at += 2;
        } else {
            break;  // the trailer, or what no reader goes past
        }
        at = SkipBlocks(gif, at);
    }
    return size;
}

// Each picture of an icon or cursor is a PNG or a bitmap; the largest counts.
std::optional<PictureSize> IconSize(Bytes bytes) {
    const Header icon{bytes};
    if (!icon.Has(0, 6) || icon.At(0, 2) != 0 || (icon.At(2, 2) != 1 && icon.At(2, 2) != 2)) {
        return std::nullopt;
    }
    const std::uint32_t count = icon.At(4, 2);
    if (count == 0 || !icon.Has(6, 16ull * count)) {
        return std::nullopt;
    }
    PictureSize largest;
    for (std::uint64_t entry = 6; entry < 6 + 16ull * count; entry += 16) {
        const std::uint32_t length = icon.At(entry + 8, 4);
        const std::uint32_t offset = icon.At(entry + 12, 4);
        if (!icon.Has(offset, length)) {
            return std::nullopt;
        }
        const Bytes picture = bytes.subspan(offset, length);
        std::optional<PictureSize> size = PngSize(picture);
        if (!size) {
            size = DibSize(picture, 0, true);
        }
        if (!size) {
            return std::nullopt;
        }
        largest = {std::max(largest.width, size->width), std::max(largest.height, size->height)};
    }
    return largest;
}

// The first directory of a TIFF-like file: its width and height tags, each a 16- or 32-bit
// number.
std::optional<PictureSize> DirectorySize(const Header& file, std::uint32_t width_tag,
                                         std::uint32_t height_tag) {
    constexpr std::uint32_t kShort = 3;
    constexpr std::uint32_t kLong = 4;
    const std::uint64_t directory = file.At(4, 4);
    if (!file.Has(directory, 2)) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> width;
    std::optional<std::uint32_t> height;
    const std::uint64_t end = directory + 2 + 12ull * file.At(directory, 2);
    for (std::uint64_t entry = directory + 2; entry < end && file.Has(entry, 12); entry += 12) {
        const std::uint32_t tag = file.At(entry, 2);
        const std::uint32_t type = file.At(entry + 2, 2);
        if ((tag == width_tag || tag == height_tag) && (type == kShort || type == kLong)) {
            (tag == width_tag ? width : height) = file.At(entry + 8, type == kShort ? 2 : 4);
        }
    }
    if (!width || !height) {
        return std::nullopt;
    }
    return PictureSize{*width, *height};
}

std::optional<PictureSize> TiffSize(Bytes bytes) {
    const Header little{bytes, false};
    const Header big{bytes, true};
    if (little.Has(0, 8) && little.Matches(0, "II*\0"sv)) {
        return DirectorySize(little, 256, 257);
    }
    if (big.Has(0, 8) && big.Matches(0, "MM\0*"sv)) {
        return DirectorySize(big, 256, 257);
    }
    return std::nullopt;
}

std::optional<PictureSize> JpegXrSize(Bytes bytes) {
    const Header file{bytes};
    if (!file.Has(0, 8) || !file.Matches(0, "II\xBC\x01"sv)) {
        return std::nullopt;
    }
    return DirectorySize(file, 0xBC80, 0xBC81);
}

std::optional<PictureSize> DdsSize(Bytes bytes) {
    const Header dds{bytes};
    if (!dds.Has(0, 20) || !dds.Matches(0, "DDS "sv) || dds.At(4, 4) != 124) {
        return std::nullopt;
    }
    return PictureSize{dds.At(16, 4), dds.At(12, 4)};
}

// P1 to P6: the width and the height in decimal, after white space and comments.
std::optional<PictureSize> PnmSize(Bytes bytes) {
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6') {
        return std::nullopt;
    }
    std::size_t at = 2;
    std::uint64_t numbers[2] = {};
    for (std::uint64_t& number : numbers) {
        while (at < bytes.size() &&
               (" \t\n\v\f\r#"sv.find(static_cast<char>(bytes[at])) != std::string_view::npos)) {
            if (bytes[at] == '#') {
                while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r') ++at;
            } else {
                ++at;
            }
        }
        const std::size_t first = at;
        for (; at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && number <= UINT32_MAX;
             ++at) {
            number = number * 10 + (bytes[at] - '0');
        }
        if (at == first || number > UINT32_MAX) {
            return std::nullopt;
        }
    }
    return PictureSize{static_cast<std::uint32_t>(numbers[0]),
                       static_cast<std::uint32_t>(numbers[1])};
}

}  // namespace

std::optional<PictureSize> ClaimedSize(std::span<const std::uint8_t> bytes) {
    for (const auto reader :
         {PngSize, BmpSize, GifSize, PnmSize, IconSize, TiffSize, JpegXrSize, DdsSize}) {
        if (const std::optional<PictureSize> size = reader(bytes)) {
            return size;
        }
    }
    return std::nullopt;
}

void CheckPictureSize(PictureSize size) {
    if (size.width == 0 || size.height == 0) {
        throw imaging::EPictureFile(imaging::PictureProblem::NotAPicture);
    }
    if (std::uint64_t{size.width} * size.height > kMaxPicturePixels) {
        throw imaging::EPictureFile(imaging::PictureProblem::PictureTooLarge,
                                    std::to_string(size.width) + " × " +
                                        std::to_string(size.height));
    }
}

}  // namespace pictures

#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/graphic.h"
#include "imaging/jpeg_error.h"

namespace imaging {

struct DecodeProgress;

// Scales are in eighths, libjpeg's DCT scaling steps; 8 is the picture's own size.
inline constexpr int kFullScale = 8;

// The smallest scale at which a picture of width x height still has `side` pixels on its
// shorter side, for a picture at least twice that; kFullScale for any other.
int CoveringScale(int width, int height, int side);

// The decode depth new JPEG pictures take: 24, or 8 on screens of 8 bits per pixel or fewer.
int DefaultJPEGDepth();

// Learns the default decode depth once at start-up, before any picture exists, from the
// screen's bits per pixel times its colour planes; nullopt when the screen cannot tell.
void ComputeDefaultJPEGDepth(std::optional<int> screen_bits_per_pixel);

// A JPEG file's bytes, exactly as loaded, and the facts of its header. Shared between
// pictures and never changed once loaded.
class TJPEGData {
public:
    TJPEGData() = default;
    explicit TJPEGData(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    // False until something was loaded; a zero-length file has bytes, none of them.
    bool HasBytes() const { return m_bytes.has_value(); }
    std::span<const std::uint8_t> Bytes() const {
        return m_bytes ? std::span<const std::uint8_t>(*m_bytes) : std::span<const std::uint8_t>();
    }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Grayscale() const { return m_grayscale; }

private:
    friend class TJPEGImage;

    std::optional<std::vector<std::uint8_t>> m_bytes;
    int m_width = 0;
    int m_height = 0;
    bool m_grayscale = false;
};

// A JPEG picture: keeps the file's bytes, reads only the header when loaded, and decodes
// once, when first drawn or copied, into a 24-bit bitmap (8 bits with a palette for
// grayscale files and at depth 8).
class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;

    // Raise EJPEG when the header cannot be read; EPictureFile when the file cannot be read
    // (missing, no regular file, over 64 MiB).
    void LoadFromFile(const std::filesystem::path& path);
    // Takes the bytes from the stream's current position to its end.
    void LoadStream(std::istream& stream);
    // Takes these bytes as the file's.
    void LoadBytes(std::vector<std::uint8_t> bytes);

    // The decoded size once decoded, else the header's; never decodes.
    int ImageWidth() const;
    int ImageHeight() const;

    // The decoded bitmap, decoding first if needed; raises EJPEG when decoding fails. A
    // decode runs at most once per load: later calls return the bitmap, even a partly
    // filled one, without an error. A picture that never loaded anything gives 0 x 0.
    const Bitmap& DecodeBitmap();
    // A decode at scale_eighths / 8 of the size, for a picture shown smaller than it is:
    // far less work for a large photo. Nothing is kept; raises EJPEG.
    Bitmap DecodeScaled(int scale_eighths) const;

    int Depth() const { return m_depth; }
    std::shared_ptr<const TJPEGData> Data() const { return m_data; }

    int Width() const override { return ImageWidth(); }
    int Height() const override { return ImageHeight(); }
    bool IsEmpty() const override { return !m_data->HasBytes(); }
    // Refused: raise EInvalidGraphicOperation and change nothing.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    void AssignTo(Bitmap& target) override;
    const Bitmap& DrawingBitmap() override { return DecodeBitmap(); }
    // The decoded bitmap's palette; none before decoding.
    std::vector<PaletteEntry> Palette() const override;

private:
    void ReadHeader(TJPEGData& data);
    void Decode(Bitmap& bitmap);
    void EndDecode(const DecodeProgress& progress);

    std::shared_ptr<TJPEGData> m_data;
    std::unique_ptr<Bitmap> m_bitmap;
    int m_depth;
};

}  // namespace imaging

#include "imaging/jpeg_image.h"

#include <algorithm>
#include <cstdint>
#include <ios>
#include <istream>
#include <iterator>
#include <string>

#include "imaging/jpeg_decompressor.h"
#include "imaging/picture_file.h"

#include <jerror.h>

namespace imaging {

// How far a decode got.
struct DecodeProgress {
    bool started = false;            // jpeg_start_decompress was called
    bool palette_installed = false;  // the bitmap has the quantizer's palette
};

namespace {

int g_default_jpeg_depth = 24;

constexpr int kQuantizedColors = 236;

// Refused before any pixel memory is taken: a few header bytes can claim gigabytes.
constexpr std::uint64_t kMaxDecodedPixels = std::uint64_t{1} << 26;

constexpr const char* kSizeChangeRefused = "Cannot change the size of a JPEG image";

// How libjpeg's rows reach the bitmap.
enum class OutputForm {
    Bgr,      // three bytes per pixel, written straight into the row
    Indexed,  // one palette index per pixel, written straight into the row
    Cmyk,     // four bytes per pixel into a one-row buffer, converted into the row
};

std::vector<std::uint8_t> ReadToEnd(std::istream& stream) {
    const std::istream::pos_type start = stream.tellg();
    if (start == std::istream::pos_type(-1) || !stream.seekg(0, std::ios::end)) {
        // A stream that cannot seek is read until it ends.
        stream.clear();
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(stream),
                                         std::istreambuf_iterator<char>());
    }
    const std::istream::pos_type end = stream.tellg();
    stream.seekg(start);
    const std::streamsize size = end > start ? static_cast<std::streamsize>(end - start) : 0;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    stream.read(reinterpret_cast<char*>(bytes.data()), size);
    if (stream.gcount() != size) {
        throw std::ios_base::failure("Stream read error");
    }
    return bytes;
}

// Both conventions exist: files with an Adobe marker (Photoshop's) store CMYK inverted,
// 255 meaning no ink; others store the amount of ink.
void CmykToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, bool inverted) {
    auto light = [inverted](JSAMPLE value) { return inverted ? int{value} : 255 - value; };
    const int black = light(cmyk[3]);
    auto channel = [black](int value) {
        return static_cast<std::uint8_t>((value * black + 127) / 255);
    };
    bgr[0] = channel(light(cmyk[2]));
    bgr[1] = channel(light(cmyk[1]));
    bgr[2] = channel(light(cmyk[0]));
}

void ConvertCmykRow(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x) {
        CmykToBgr(cmyk + 4 * x, bgr + 3 * x, inverted);
    }
}

OutputForm SetDecodeParameters(jpeg_decompress_struct& info, int depth, int scale_eighths) {
    info.scale_num = scale_eighths == kFullScale ? 1 : static_cast<unsigned>(scale_eighths);
    info.scale_denom = scale_eighths == kFullScale ? 1 : 8;
    info.do_block_smoothing = TRUE;
    info.dct_method = JDCT_FLOAT;
    if (depth == 8 || info.out_color_space == JCS_GRAYSCALE) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = kQuantizedColors;
        if (info.out_color_space != JCS_GRAYSCALE && info.out_color_space != JCS_CMYK) {
            // The palette takes colours by meaning, so the colormap must be RGB; libjpeg
            // refuses files of unknown colour spaces it cannot convert.
            info.out_color_space = JCS_RGB;
        }
        return OutputForm::Indexed;
    }
    if (info.out_color_space == JCS_CMYK) {
        return OutputForm::Cmyk;
    }
    info.out_color_space = JCS_EXT_BGR;
    return OutputForm::Bgr;
}

int ComponentsWritten(OutputForm form) {
    switch (form) {
        case OutputForm::Bgr:
            return 3;
        case OutputForm::Indexed:
            return 1;
        case OutputForm::Cmyk:
            return 4;
    }
    return 0;
}

void RefuseOversized(const jpeg_decompress_struct& info) {
    if (std::uint64_t{info.output_width} * info.output_height > kMaxDecodedPixels) {
        throw EJPEG(JERR_IMAGE_TOO_BIG);
    }
}

// Rows are sized for the chosen form; anything else would write past them.
void RequireComponents(const jpeg_decompress_struct& info, OutputForm form) {
    if (info.output_components != ComponentsWritten(form)) {
        throw EJPEG(JERR_CONVERSION_NOTIMPL);
    }
}

PaletteEntry PaletteEntryAt(const jpeg_decompress_struct& info, int i) {
    const JSAMPARRAY map = info.colormap;
    switch (info.out_color_space) {
        case JCS_GRAYSCALE:
            return {map[0][i], map[0][i], map[0][i]};
        case JCS_CMYK: {
            const JSAMPLE cmyk[4] = {map[0][i], map[1][i], map[2][i], map[3][i]};
            std::uint8_t bgr[3];
            CmykToBgr(cmyk, bgr, info.saw_Adobe_marker);
            return {bgr[2], bgr[1], bgr[0]};
        }
        default:
            return {map[0][i], map[1][i], map[2][i]};
    }
}

std::vector<PaletteEntry> PaletteFromColormap(const jpeg_decompress_struct& info) {
    std::vector<PaletteEntry> palette(static_cast<std::size_t>(info.actual_number_of_colors));
    for (int i = 0; i < info.actual_number_of_colors; ++i) {
        palette[static_cast<std::size_t>(i)] = PaletteEntryAt(info, i);
    }
    return palette;
}

// Decodes the picture into `bitmap` at scale_eighths / 8 of its size. The palette, when
// the quantizer makes one, is installed before the bitmap is sized, so rows a failed decode
// never reaches stay the palette's lightest colour, as fresh rows of a 24-bit bitmap stay
// white.
void DecodeInto(std::span<const std::uint8_t> bytes, int depth, int scale_eighths, Bitmap& bitmap,
                DecodeProgress& progress) {
    JpegDecompressor decompressor(bytes);
    jpeg_decompress_struct& info = decompressor.Info();
    auto read_header = [](jpeg_decompress_struct& i) { jpeg_read_header(&i, TRUE); };
    decompressor.Run(read_header);
    const OutputForm form = SetDecodeParameters(info, depth, scale_eighths);
    auto output_size = [](jpeg_decompress_struct& i) { jpeg_calc_output_dimensions(&i); };
    decompressor.Run(output_size);
    RefuseOversized(info);
    bitmap.SetPixelFormat(form == OutputForm::Indexed ? PixelFormat::Indexed8 : PixelFormat::Bgr24);

    auto start = [](jpeg_decompress_struct& i) { jpeg_start_decompress(&i); };
    progress.started = true;
    decompressor.Run(start);
    RequireComponents(info, form);
    if (info.quantize_colors && info.colormap != nullptr) {
        bitmap.SetPalette(PaletteFromColormap(info));
        progress.palette_installed = true;
    }
    bitmap.SetWidth(static_cast<int>(info.output_width));
    bitmap.SetHeight(static_cast<int>(info.output_height));

    std::vector<JSAMPLE> cmyk_row(form == OutputForm::Cmyk ? 4 * info.output_width : 0);
    const bool adobe_inverted = info.saw_Adobe_marker;
    auto read_rows = [&bitmap, &cmyk_row, form, adobe_inverted](jpeg_decompress_struct& i) {
        while (i.output_scanline < i.output_height) {
            std::uint8_t* target = bitmap.Row(static_cast<int>(i.output_scanline));
            JSAMPROW row = form == OutputForm::Cmyk ? cmyk_row.data() : target;
            if (jpeg_read_scanlines(&i, &row, 1) != 1) {
                return;
            }
            if (form == OutputForm::Cmyk) {
                ConvertCmykRow(cmyk_row.data(), target, i.output_width, adobe_inverted);
            }
        }
    };
    decompressor.Run(read_rows);
    auto finish = [](jpeg_decompress_struct& i) { jpeg_finish_decompress(&i); };
    decompressor.Run(finish);
}

}  // namespace

int DefaultJPEGDepth() {
    return g_default_jpeg_depth;
}

void ComputeDefaultJPEGDepth(std::optional<int> screen_bits_per_pixel) {
    const bool palette_screen =
        screen_bits_per_pixel && *screen_bits_per_pixel > 0 && *screen_bits_per_pixel <= 8;
    g_default_jpeg_depth = palette_screen ? 8 : 24;
}

TJPEGImage::TJPEGImage() : m_data(std::make_shared<TJPEGData>()), m_depth(g_default_jpeg_depth) {}

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadFromFile(const std::filesystem::path& path) {
    LoadBytes(ReadPictureFile(path));
}

void TJPEGImage::LoadStream(std::istream& stream) {
    LoadBytes(ReadToEnd(stream));
}

void TJPEGImage::LoadBytes(std::vector<std::uint8_t> bytes) {
    auto data = std::make_shared<TJPEGData>(std::move(bytes));
    m_data = data;
    m_bitmap.reset();
    if (!data->Bytes().empty()) {
        ReadHeader(*data);
    }
    SetPaletteModified(true);
    Changed();
}

void TJPEGImage::ReadHeader(TJPEGData& data) {
    JpegDecompressor decompressor(data.Bytes());
    auto read_header = [](jpeg_decompress_struct& info) { jpeg_read_header(&info, TRUE); };
    decompressor.Run(read_header);
    const jpeg_decompress_struct& info = decompressor.Info();
    data.m_width = static_cast<int>(info.image_width);
    data.m_height = static_cast<int>(info.image_height);
    data.m_grayscale = info.jpeg_color_space == JCS_GRAYSCALE;
}

int TJPEGImage::ImageWidth() const {
    return m_bitmap ? m_bitmap->Width() : m_data->Width();
}

int TJPEGImage::ImageHeight() const {
    return m_bitmap ? m_bitmap->Height() : m_data->Height();
}

const Bitmap& TJPEGImage::DecodeBitmap() {
    if (!m_bitmap) {
        // Attached before decoding, so that a failed decode is not tried again. A picture
        // that never loaded anything has nothing to decode and stays 0 x 0.
        m_bitmap = std::make_unique<Bitmap>();
        if (m_data->HasBytes()) {
            Decode(*m_bitmap);
        }
    }
    return *m_bitmap;
}

// Observers hear of the end of a decode that got as far as starting, failed or not, while
// the palette flag is set.
void TJPEGImage::Decode(Bitmap& bitmap) {
    DecodeProgress progress;
    try {
        DecodeInto(m_data->Bytes(), m_depth, kFullScale, bitmap, progress);
    } catch (...) {
        EndDecode(progress);
        throw;
    }
    EndDecode(progress);
}

void TJPEGImage::EndDecode(const DecodeProgress& progress) {
    if (progress.palette_installed) {
        SetPaletteModified(true);
    }
    if (progress.started && PaletteModified()) {
        Changed();
    }
}

Bitmap TJPEGImage::DecodeScaled(int scale_eighths) const {
    Bitmap bitmap;
    DecodeProgress progress;
    DecodeInto(m_data->Bytes(), m_depth, scale_eighths, bitmap, progress);
    return bitmap;
}

int CoveringScale(int width, int height, int side) {
    const int shorter = std::min(width, height);
    if (shorter < 2 * side) {
        return kFullScale;
    }
    int eighths = 1;
    while ((shorter * eighths + 7) / 8 < side) {  // libjpeg rounds the scaled size up
        ++eighths;
    }
    return eighths;
}

void TJPEGImage::SetWidth(int) {
    throw EInvalidGraphicOperation(kSizeChangeRefused);
}

void TJPEGImage::SetHeight(int) {
    throw EInvalidGraphicOperation(kSizeChangeRefused);
}

void TJPEGImage::AssignTo(Bitmap& target) {
    target = DecodeBitmap();
}

std::vector<PaletteEntry> TJPEGImage::Palette() const {
    return m_bitmap ? m_bitmap->Palette() : std::vector<PaletteEntry>{};
}

}  // namespace imaging

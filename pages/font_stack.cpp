#include "pages/font_stack.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <tuple>

#include "pages/utf8.h"

namespace pages {

// A character's pixels at one size: rows of on/off bits, placed from the pen, and drawn
// `scale` times larger than the font has them.
struct FontStack::Glyph {
    int width = 0;
    int rows = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
    int scale = 1;
    std::vector<bool> on;
};

struct FontStack::Fonts {
    FT_Library library = nullptr;
    std::vector<std::vector<FT_Byte>> files;  // each face reads its file's bytes as it goes
    std::vector<FT_Face> faces;
    std::map<std::pair<char32_t, int>, Glyph> glyphs;

    ~Fonts() {
        for (FT_Face face : faces) {
            FT_Done_Face(face);
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }
};

namespace {

// How a face draws `size`: a bitmap font at its largest strike that divides the size (that
// strike selected), an outline font at the size itself. When no font can, `closest` lets a
// bitmap font draw its largest strike below the size, whole times, as crisp and a little
// smaller. The scale, or 0 when the face cannot.
int ScaleFor(FT_Face face, int size, bool closest) {
    int best = -1;
    int best_scale = 0;
    for (int i = 0; i < face->num_fixed_sizes; ++i) {
        const int height = face->available_sizes[i].height;
        const bool fits = height > 0 && (closest ? height <= size : size % height == 0);
        if (fits && (best < 0 || height > face->available_sizes[best].height)) {
            best = i;
            best_scale = size / height;
        }
    }
    if (best >= 0) {
        return FT_Select_Size(face, best) == 0 ? best_scale : 0;
    }
    if (!closest && FT_IS_SCALABLE(face) &&
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) == 0) {
        return 1;
    }
    return 0;
}

constexpr std::uintmax_t kMostFontBytes = 64u << 20;

// A font file's bytes, read whole once its type and size are known. The path is UTF-8 and
// opened as such, so that a folder with any name works on Windows too.
std::vector<FT_Byte> ReadFontFile(const std::string& path) {
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(file, error);
    const std::uintmax_t size = regular ? std::filesystem::file_size(file, error) : 0;
    std::vector<FT_Byte> bytes(static_cast<std::size_t>(std::min(size, kMostFontBytes)));
    std::ifstream stream(file, std::ios::binary);
    if (!regular || error || size > kMostFontBytes ||
        !stream.read(reinterpret_cast<char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()))) {
        throw std::runtime_error("cannot open the font " + path);
    }
    return bytes;
}

}  // namespace

// The character from `face` at `size` in one bit, if the face has it and can draw it there.
bool FontStack::Render(FT_Face face, char32_t character, int size, bool closest, Glyph& glyph) {
    const FT_UInt index = FT_Get_Char_Index(face, character);
    const int scale = index != 0 ? ScaleFor(face, size, closest) : 0;
    if (scale == 0 ||
        FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) !=
            0 ||
        face->glyph->bitmap.pixel_mode != FT_PIXEL_MODE_MONO) {
        return false;
    }
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    glyph = Glyph{static_cast<int>(bitmap.width),
                  static_cast<int>(bitmap.rows),
                  face->glyph->bitmap_left,
                  face->glyph->bitmap_top,
                  static_cast<int>(face->glyph->advance.x >> 6),
                  scale,
                  {}};
    glyph.on.resize(static_cast<std::size_t>(glyph.width * glyph.rows));
    for (int y = 0; y < glyph.rows; ++y) {
        const unsigned char* row = bitmap.buffer + y * bitmap.pitch;
        for (int x = 0; x < glyph.width; ++x) {
            glyph.on[static_cast<std::size_t>(y * glyph.width + x)] =
                (row[x / 8] & (0x80 >> (x % 8))) != 0;
        }
    }
    return true;
}

FontStack::FontStack(const std::vector<std::string>& paths) : m_fonts(std::make_unique<Fonts>()) {
    if (FT_Init_FreeType(&m_fonts->library) != 0) {
        throw std::runtime_error("cannot start FreeType");
    }
    for (const std::string& path : paths) {
        m_fonts->files.push_back(ReadFontFile(path));
        const std::vector<FT_Byte>& bytes = m_fonts->files.back();
        FT_Face face = nullptr;
        if (FT_New_Memory_Face(m_fonts->library, bytes.data(), static_cast<FT_Long>(bytes.size()),
                               0, &face) != 0) {
            throw std::runtime_error("cannot open the font " + path);
        }
        m_fonts->faces.push_back(face);
    }
}

FontStack::~FontStack() = default;

const FontStack::Glyph& FontStack::GlyphOf(char32_t character, int size) {
    const auto key = std::pair(character, size);
    if (const auto found = m_fonts->glyphs.find(key); found != m_fonts->glyphs.end()) {
        return found->second;
    }
    for (const bool closest : {false, true}) {
        for (FT_Face face : m_fonts->faces) {
            Glyph glyph;
            if (Render(face, character, size, closest, glyph)) {
                return m_fonts->glyphs.emplace(key, std::move(glyph)).first->second;
            }
        }
    }
    if (character != kReplacementCharacter) {
        return m_fonts->glyphs.emplace(key, GlyphOf(kReplacementCharacter, size)).first->second;
    }
    return m_fonts->glyphs.emplace(key, Glyph{}).first->second;  // nothing to draw with
}

int FontStack::DrawLine(MonoCanvas& canvas, int x, int baseline, std::u32string_view text, int size,
                        bool light) {
    for (const char32_t character : text) {
        const Glyph& glyph = GlyphOf(character, size);
        const int s = glyph.scale;
        for (int gy = 0; gy < glyph.rows; ++gy) {
            for (int gx = 0; gx < glyph.width; ++gx) {
                if (!glyph.on[static_cast<std::size_t>(gy * glyph.width + gx)]) {
                    continue;
                }
                const int px = x + (glyph.left + gx) * s;
                const int py = baseline + (gy - glyph.top) * s;
                for (int dy = 0; dy < s; ++dy) {
                    for (int dx = 0; dx < s; ++dx) {
                        canvas.Set(px + dx, py + dy, light);
                    }
                }
            }
        }
        x += glyph.advance * s;
    }
    return x;
}

int FontStack::LineWidth(std::u32string_view text, int size) {
    int width = 0;
    for (const char32_t character : text) {
        const Glyph& glyph = GlyphOf(character, size);
        width += glyph.advance * glyph.scale;
    }
    return width;
}

}  // namespace pages

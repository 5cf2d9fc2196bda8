#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pages/mono_canvas.h"

struct FT_FaceRec_;

namespace pages {

// Text at one bit: the fonts are tried in order for each character, so a list that ends in
// Unifont shows every character of the Basic Multilingual Plane; one that no font has
// shows as U+FFFD. A bitmap font is drawn at a size of its own or a whole multiple of one,
// an outline font in FreeType's monochrome mode: no gray is ever computed.
class FontStack {
public:
    // std::runtime_error names a font that does not open.
    explicit FontStack(const std::vector<std::string>& paths);
    ~FontStack();
    FontStack(const FontStack&) = delete;
    FontStack& operator=(const FontStack&) = delete;

    // One line from `x` on the baseline `baseline`, `size` pixels high, in light or dark
    // pixels; the x after its last character.
    int DrawLine(MonoCanvas& canvas, int x, int baseline, std::u32string_view text, int size,
                 bool light);
    // How wide DrawLine would draw it.
    int LineWidth(std::u32string_view text, int size);

private:
    struct Glyph;
    struct Fonts;
    const Glyph& GlyphOf(char32_t character, int size);
    static bool Render(FT_FaceRec_* face, char32_t character, int size, bool closest, Glyph& glyph);

    std::unique_ptr<Fonts> m_fonts;
};

}  // namespace pages

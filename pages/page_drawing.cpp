#include "pages/page_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/mono_frame.h"
#include "imaging/screen_scaler.h"
#include "pages/utf8.h"
#include "pages/value_format.h"
#include "protocol/commands.h"

namespace pages {

namespace {

void FillBox(MonoCanvas& canvas, const Box& box, bool light) {
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) canvas.Set(x, y, light);
    }
}

void OutlineBox(MonoCanvas& canvas, const Box& box, bool light) {
    for (int x = box.x; x < box.x + box.width; ++x) {
        canvas.Set(x, box.y, light);
        canvas.Set(x, box.y + box.height - 1, light);
    }
    for (int y = box.y; y < box.y + box.height; ++y) {
        canvas.Set(box.x, y, light);
        canvas.Set(box.x + box.width - 1, y, light);
    }
}

// The area inside an outline and a pixel of space, or the box itself without an outline.
Box Inside(const Box& box, bool outline) {
    const int margin = outline ? 2 : 0;
    return Box{box.x + margin, box.y + margin, std::max(0, box.width - 2 * margin),
               std::max(0, box.height - 2 * margin)};
}

// --- text

// Where a line may break: after spaces, and on either side of an ideograph or a kana, since
// CJK text has no spaces between words.
bool IsWideScript(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

// A paragraph as units that stay together: a word, a run of spaces, or one wide character.
std::vector<std::u32string> UnitsOf(std::u32string_view paragraph) {
    std::vector<std::u32string> units;
    for (const char32_t c : paragraph) {
        const bool space = c == U' ';
        const bool joins = !units.empty() && !IsWideScript(c) &&
                           !IsWideScript(units.back().back()) &&
                           (units.back().back() == U' ') == space;
        if (joins) {
            units.back() += c;
        } else {
            units.emplace_back(1, c);
        }
    }
    return units;
}

std::u32string TrimmedEnd(std::u32string line) {
    while (!line.empty() && line.back() == U' ') line.pop_back();
    return line;
}

class TextLayout {
public:
    TextLayout(FontStack& fonts, int size, int width)
        : m_fonts(fonts), m_size(size), m_width(width) {}

    bool Fits(std::u32string_view text) { return m_fonts.LineWidth(text, m_size) <= m_width; }

    // The line cut to fit with an ellipsis at its end; `always` puts one even when it fits.
    std::u32string Ellipsized(std::u32string line, bool always) {
        if (!always && Fits(line)) {
            return line;
        }
        line = TrimmedEnd(std::move(line));
        while (!line.empty() && !Fits(line + kEllipsis)) line.pop_back();
        line = TrimmedEnd(std::move(line));
        return Fits(line + kEllipsis) ? line + kEllipsis : std::u32string();
    }

    // The paragraph broken into lines that fit, a word wider than a line broken anywhere.
    std::vector<std::u32string> Wrapped(std::u32string_view paragraph) {
        std::vector<std::u32string> lines;
        std::u32string line;
        for (const std::u32string& unit : UnitsOf(paragraph)) {
            if (Fits(line + unit)) {
                line += unit;
                continue;
            }
            if (!TrimmedEnd(line).empty()) {
                lines.push_back(TrimmedEnd(line));
            }
            line.clear();
            if (unit.front() == U' ') {
                continue;
            }
            for (const char32_t c : unit) {
                if (!line.empty() && !Fits(line + c)) {
                    lines.push_back(line);
                    line.clear();
                }
                line += c;
            }
        }
        lines.push_back(TrimmedEnd(line));
        return lines;
    }

private:
    FontStack& m_fonts;
    int m_size;
    int m_width;
};

std::vector<std::u32string> Paragraphs(const std::u32string& text) {
    std::vector<std::u32string> paragraphs(1);
    for (const char32_t c : text) {
        if (c == U'\n') {
            paragraphs.emplace_back();
        } else if (c != U'\r') {
            paragraphs.back() += c < 0x20 ? U' ' : c;  // a tab or a control shows as a space
        }
    }
    return paragraphs;
}

std::vector<std::u32string> LinesOf(const TextElement& text, const std::u32string& content,
                                    TextLayout& layout) {
    const std::size_t room =
        static_cast<std::size_t>(std::max(1, text.box.height / text.line_height));
    std::vector<std::u32string> lines;
    for (const std::u32string& paragraph : Paragraphs(content)) {
        if (text.wrap) {
            for (std::u32string& line : layout.Wrapped(paragraph)) lines.push_back(std::move(line));
        } else {
            lines.push_back(layout.Ellipsized(paragraph, false));
        }
    }
    if (lines.size() > room) {
        lines.resize(room);
        if (text.wrap) {
            lines.back() = layout.Ellipsized(lines.back(), true);
        }
    }
    return lines;
}

int LineLeft(Align align, int room, int width) {
    switch (align) {
        case Align::Left:
            return 0;
        case Align::Center:
            return (room - width) / 2;
        case Align::Right:
            return room - width;
    }
    return 0;
}

int BlockTop(VerticalAlign align, int room, int height) {
    switch (align) {
        case VerticalAlign::Top:
            return 0;
        case VerticalAlign::Middle:
            return (room - height) / 2;
        case VerticalAlign::Bottom:
            return room - height;
    }
    return 0;
}

void DrawText(const TextElement& text, const Page& page, DrawInputs& inputs, MonoCanvas& canvas,
              bool ink) {
    FontStack& fonts = inputs.fonts.Stack(text.fonts.empty() ? page.fonts : text.fonts);
    const std::u32string content =
        DecodeUtf8(FillFields(SplitFields(text.text).pieces, inputs.values));
    TextLayout layout(fonts, text.size, text.box.width);
    const std::vector<std::u32string> lines = LinesOf(text, content, layout);

    // Drawn apart first, so that nothing falls outside the box.
    MonoCanvas marks(text.box.width, text.box.height, false);
    const int ascent = (text.size * 7 + 4) / 8;
    const int top =
        BlockTop(text.valign, text.box.height, static_cast<int>(lines.size()) * text.line_height);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int left = LineLeft(text.align, text.box.width, fonts.LineWidth(lines[i], text.size));
        const int baseline = top + static_cast<int>(i) * text.line_height +
                             (text.line_height - text.size) / 2 + ascent;
        fonts.DrawLine(marks, left, baseline, lines[i], text.size, true);
    }
    if (text.invert) {
        FillBox(canvas, text.box, ink);
    }
    for (int y = 0; y < marks.Height(); ++y) {
        for (int x = 0; x < marks.Width(); ++x) {
            if (marks.At(x, y))
                canvas.Set(text.box.x + x, text.box.y + y, ink != text.invert);
        }
    }
}

// --- bars and graphs

double Share(double value, double low, double high) {
    return std::clamp((value - low) / (high - low), 0.0, 1.0);
}

void DrawBar(const BarElement& bar, const DrawInputs& inputs, MonoCanvas& canvas, bool ink) {
    const bool light = ink != bar.invert;
    if (bar.outline) {
        OutlineBox(canvas, bar.box, light);
    }
    const auto found = inputs.values.find(bar.value);
    const auto number = found != inputs.values.end() ? NumberOf(found->second) : std::nullopt;
    if (!number) {
        return;  // unknown: an empty bar
    }
    const Box inside = Inside(bar.box, bar.outline);
    const double share = Share(*number, bar.min, bar.max);
    const int across = static_cast<int>(std::lround(share * inside.width));
    const int up = static_cast<int>(std::lround(share * inside.height));
    Box filled = inside;
    switch (bar.direction) {
        case Direction::Right:
            filled.width = across;
            break;
        case Direction::Left:
            filled.x += inside.width - across, filled.width = across;
            break;
        case Direction::Down:
            filled.height = up;
            break;
        case Direction::Up:
            filled.y += inside.height - up, filled.height = up;
            break;
    }
    FillBox(canvas, filled, light);
}

void DrawGraph(const GraphElement& graph, const DrawInputs& inputs, MonoCanvas& canvas, bool ink) {
    const bool light = ink != graph.invert;
    if (graph.outline) {
        OutlineBox(canvas, graph.box, light);
    }
    const Box inside = Inside(graph.box, graph.outline);
    const auto found = inputs.samples.find(graph.value);
    if (found == inputs.samples.end() || found->second.empty() || inside.width == 0) {
        return;
    }
    const int room = graph.samples > 0 ? graph.samples : inside.width;
    const std::deque<double>& all = found->second;
    const std::size_t shown = std::min(all.size(), static_cast<std::size_t>(room));
    const auto first = all.end() - static_cast<std::ptrdiff_t>(shown);
    double low = graph.min.value_or(std::min(0.0, *std::min_element(first, all.end())));
    double high = graph.max.value_or(*std::max_element(first, all.end()));
    if (high <= low) {
        high = low + 1;
    }
    // The newest sample at the right edge; each takes its share of the width.
    for (std::size_t i = 0; i < shown; ++i) {
        const int slot = room - static_cast<int>(shown) + static_cast<int>(i);
        const int left = inside.x + slot * inside.width / room;
        const int right = inside.x + (slot + 1) * inside.width / room;
        const int height =
            static_cast<int>(std::lround(Share(*(first + i), low, high) * inside.height));
        FillBox(canvas, Box{left, inside.y + inside.height - height, right - left, height}, light);
    }
}

// --- pictures, rectangles and lines

// The picture shaped into the box as `fit` says, on white, 24 bits.
imaging::Bitmap Fitted(const imaging::Bitmap& picture, const Box& box, imaging::Fit fit) {
    imaging::Bitmap out(box.width, box.height, imaging::PixelFormat::Bgr24);
    std::fill(out.Bits(), out.Bits() + out.Stride() * static_cast<std::size_t>(box.height), 0xFF);
    const int pw = picture.Width();
    const int ph = picture.Height();
    int left = 0, top = 0, width = pw, height = ph;                        // of the picture
    int to_x = 0, to_y = 0, to_width = box.width, to_height = box.height;  // in the box
    if (fit == imaging::Fit::Crop) {
        // the largest part of the box's shape, centred
        if (static_cast<long long>(pw) * box.height > static_cast<long long>(ph) * box.width) {
            width =
                std::max(1, static_cast<int>(static_cast<long long>(ph) * box.width / box.height));
            left = (pw - width) / 2;
        } else {
            height =
                std::max(1, static_cast<int>(static_cast<long long>(pw) * box.height / box.width));
            top = (ph - height) / 2;
        }
    } else if (fit == imaging::Fit::Pad) {
        if (static_cast<long long>(pw) * box.height > static_cast<long long>(ph) * box.width) {
            to_height = std::max(1, static_cast<int>(static_cast<long long>(ph) * box.width / pw));
            to_y = (box.height - to_height) / 2;
        } else {
            to_width = std::max(1, static_cast<int>(static_cast<long long>(pw) * box.height / ph));
            to_x = (box.width - to_width) / 2;
        }
    } else if (fit == imaging::Fit::None) {
        width = to_width = std::min(pw, box.width);
        height = to_height = std::min(ph, box.height);
    }
    const imaging::Bitmap scaled =
        imaging::ScaleRegion(picture, left, top, width, height, to_width, to_height);
    for (int y = 0; y < to_height; ++y) {
        std::copy_n(scaled.Row(y), static_cast<std::size_t>(to_width) * 3,
                    out.Row(to_y + y) + to_x * 3);
    }
    return out;
}

void DrawPicture(const PictureElement& element, const DrawInputs& inputs, MonoCanvas& canvas) {
    const imaging::Bitmap* picture = inputs.pictures ? inputs.pictures(element) : nullptr;
    if (picture == nullptr || picture->IsEmpty()) {
        return;
    }
    // Whole bytes a row, as the frame's layout has them; the columns past the box are white.
    const Box wide{0, 0, (element.box.width + 7) / 8 * 8, element.box.height};
    imaging::Bitmap padded = Fitted(*picture, element.box, element.fit);
    padded.SetWidth(wide.width);
    std::vector<std::uint8_t> storage;
    const imaging::LumaPlane lumas = imaging::LumaPlaneOf(padded, storage);
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(wide.width / 8 * wide.height));
    if (element.dither) {
        imaging::Dither(lumas, bits, *element.dither);
    } else {
        imaging::ThresholdLuma(lumas, bits, element.threshold);
    }
    for (int y = 0; y < element.box.height; ++y) {
        for (int x = 0; x < element.box.width; ++x) {
            const bool light = (bits[static_cast<std::size_t>(y * wide.width / 8 + x / 8)] &
                                (0x80 >> (x % 8))) != 0;
            canvas.Set(element.box.x + x, element.box.y + y, light != element.invert);
        }
    }
}

void DrawRect(const RectElement& rect, MonoCanvas& canvas, bool ink) {
    const bool light = ink != rect.invert;
    rect.fill ? FillBox(canvas, rect.box, light) : OutlineBox(canvas, rect.box, light);
}

// Bresenham's line, each point a square of the line's width.
void DrawLineElement(const LineElement& line, MonoCanvas& canvas, bool ink) {
    const bool light = ink != line.invert;
    const int dx = std::abs(line.x2 - line.x1);
    const int dy = -std::abs(line.y2 - line.y1);
    const int sx = line.x1 < line.x2 ? 1 : -1;
    const int sy = line.y1 < line.y2 ? 1 : -1;
    const int half = (line.width - 1) / 2;
    int x = line.x1;
    int y = line.y1;
    int error = dx + dy;
    while (true) {
        FillBox(canvas, Box{x - half, y - half, line.width, line.width}, light);
        if (x == line.x2 && y == line.y2) {
            break;
        }
        const int doubled = 2 * error;
        if (doubled >= dy)
            error += dy, x += sx;
        if (doubled <= dx)
            error += dx, y += sy;
    }
}

}  // namespace

MonoCanvas DrawPage(const Page& page, DrawInputs& inputs) {
    MonoCanvas canvas(protocol::kScreenWidth, protocol::kScreenHeight, !page.dark);
    const bool ink = page.dark;  // light drawing on a dark page
    for (const Element& element : page.elements) {
        std::visit(
            [&](const auto& e) {
                using E = std::decay_t<decltype(e)>;
                if constexpr (std::is_same_v<E, TextElement>)
                    DrawText(e, page, inputs, canvas, ink);
                if constexpr (std::is_same_v<E, BarElement>)
                    DrawBar(e, inputs, canvas, ink);
                if constexpr (std::is_same_v<E, GraphElement>)
                    DrawGraph(e, inputs, canvas, ink);
                if constexpr (std::is_same_v<E, PictureElement>)
                    DrawPicture(e, inputs, canvas);
                if constexpr (std::is_same_v<E, RectElement>)
                    DrawRect(e, canvas, ink);
                if constexpr (std::is_same_v<E, LineElement>)
                    DrawLineElement(e, canvas, ink);
            },
            element);
    }
    return canvas;
}

}  // namespace pages

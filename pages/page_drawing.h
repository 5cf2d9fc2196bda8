#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "imaging/bitmap.h"
#include "pages/font_library.h"
#include "pages/mono_canvas.h"
#include "pages/page_file.h"
#include "pages/value.h"

namespace pages {

// A graph's samples by value name, oldest first.
using SampleHistory = std::map<std::string, std::deque<double>, std::less<>>;

// The picture a picture element shows, decoded; null when it cannot be had (the element is
// then left blank).
using PictureLookup = std::function<const imaging::Bitmap*(const PictureElement&)>;

struct DrawInputs {
    const ValueMap& values;
    const SampleHistory& samples;
    FontLibrary& fonts;
    PictureLookup pictures;
};

// The page drawn on the screen's canvas, element after element, later ones over earlier
// ones. std::runtime_error when a font it names cannot be opened.
MonoCanvas DrawPage(const Page& page, DrawInputs& inputs);

// The ellipsis a line that does not fit ends in.
inline constexpr char32_t kEllipsis = 0x2026;

}  // namespace pages

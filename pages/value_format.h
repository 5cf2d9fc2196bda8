#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/value.h"

// Text with fields: "CPU {cpu.percent:.0f} %", "{time:%H:%M}", "{mem.used:bytes}".
namespace pages {

struct TextPiece {
    std::string literal;  // shown as it is, when name is empty
    std::string name;     // a field's value name
    std::string format;   // after the colon; empty for the value's own
};

// The text's literal pieces and fields; "{{" and "}}" are braces. A brace that opens no
// field or is never closed gives the reason instead.
struct SplitText {
    std::vector<TextPiece> pieces;
    std::string error;
};
SplitText SplitFields(std::string_view text);

// A value as a field shows it. Formats: for numbers "[width][.precision]f", "d", "%" (a
// share of one as percent), "bytes" (1024-based units) and "duration" (seconds as days,
// hours, minutes); a text formatted as a number shows the first number in it; for a moment,
// strftime's. An unknown value, or a text with no number for a number's format, shows "?".
std::string FormatValue(const Value& value, std::string_view format);

// The pieces filled from `values`.
std::string FillFields(const std::vector<TextPiece>& pieces, const ValueMap& values);

// The number a bar or a graph takes from a value: a number, or the first one in a text.
std::optional<double> NumberOf(const Value& value);

}  // namespace pages

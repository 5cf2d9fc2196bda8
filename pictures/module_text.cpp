#include "pictures/module_text.h"

#include <cstdint>

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 if there is none:
// no overlong forms, no surrogates, nothing beyond U+10FFFF, no sequence cut short.
std::size_t SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return 1;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || text.size() < length) {
        return 0;
    }
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(byte)) {
            return 0;
        }
        code = code << 6 | (byte & 0x3F);
    }
    const std::uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < smallest || surrogate || code > 0x10FFFF ? 0 : length;
}

bool IsControl(std::string_view character) {
    const auto first = static_cast<unsigned char>(character[0]);
    if (character.size() == 1) {
        return (first < 0x20 && first != '\t' && first != '\n') || first == 0x7F;
    }
    // U+0080-U+009F are C2 80 to C2 9F.
    return character.size() == 2 && first == 0xC2 &&
           static_cast<unsigned char>(character[1]) < 0xA0;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
    }
}

}  // namespace

std::string EscapeForDisplay(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = SequenceLength(text);
        const std::string_view character = text.substr(0, length == 0 ? 1 : length);
        if (length == 0 || IsControl(character)) {
            AppendEscaped(out, character);
        } else {
            out += character;
        }
        text.remove_prefix(character.size());
    }
    return out;
}

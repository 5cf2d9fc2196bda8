#include "pages/utf8.h"

#include <cstdint>

namespace pages {

namespace {

// How many bytes a sequence led by `lead` has, and the range its second byte must be in
// so that the form is neither overlong, a surrogate, nor past U+10FFFF; 0 for no lead.
struct Lead {
    int length = 0;
    std::uint8_t second_low = 0x80;
    std::uint8_t second_high = 0xBF;
};

Lead LeadOf(std::uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF)
        return {2};
    if (byte == 0xE0)
        return {3, 0xA0, 0xBF};
    if (byte == 0xED)
        return {3, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF)
        return {3};
    if (byte == 0xF0)
        return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3)
        return {4};
    if (byte == 0xF4)
        return {4, 0x80, 0x8F};
    return {};
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[at]);
        if (byte < 0x80) {
            out.push_back(byte);
            ++at;
            continue;
        }
        const Lead lead = LeadOf(byte);
        char32_t value = byte & (0x7F >> lead.length);
        int taken = 1;
        for (; taken < lead.length && at + taken < text.size(); ++taken) {
            const auto next = static_cast<std::uint8_t>(text[at + taken]);
            const bool fits = taken == 1 ? next >= lead.second_low && next <= lead.second_high
                                         : next >= 0x80 && next <= 0xBF;
            if (!fits) {
                break;
            }
            value = (value << 6) | (next & 0x3F);
        }
        out.push_back(lead.length != 0 && taken == lead.length ? value : kReplacementCharacter);
        at += static_cast<std::size_t>(taken);
    }
    return out;
}

}  // namespace pages

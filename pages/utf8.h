#pragma once

#include <string>
#include <string_view>

namespace pages {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// UTF-8 to code points. Each maximal run of bytes that cannot start or continue a valid
// sequence (a stray byte, a truncated or overlong form, a surrogate, a value past U+10FFFF)
// becomes one U+FFFD, as a reader shows it; nothing is dropped silently.
std::u32string DecodeUtf8(std::string_view text);

}  // namespace pages

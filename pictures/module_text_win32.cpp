#include <windows.h>

#include "pictures/module_text.h"

namespace {

constexpr UINT kGbk = 936;
constexpr wchar_t kReplacement = 0xFFFD;

bool IsLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsTrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// One two-byte character; the code page maps its undefined pairs to private-use
// characters, which are no text either.
wchar_t DecodePair(const char* pair) {
    wchar_t decoded = 0;
    if (MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, pair, 2, &decoded, 1) != 1 ||
        (decoded >= 0xE000 && decoded <= 0xF8FF)) {
        return kReplacement;
    }
    return decoded;
}

std::wstring DecodeGbk(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            text.push_back(static_cast<wchar_t>(byte));
        } else if (IsLeadByte(byte) && i + 1 < bytes.size() &&
                   IsTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            text.push_back(DecodePair(bytes.data() + i));
            ++i;
        } else {
            text.push_back(kReplacement);  // a lone byte; what follows is read on its own
        }
    }
    return text;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

}  // namespace

std::string DecodeModuleText(std::string_view bytes) {
    return ToUtf8(DecodeGbk(bytes));
}

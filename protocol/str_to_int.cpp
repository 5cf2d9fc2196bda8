#include "protocol/str_to_int.h"

#include <charconv>

namespace protocol {

std::int32_t StrToInt(const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    while (first != last && (*first == ' ' || *first == '\t')) {
        ++first;
    }
    if (first != last && *first == '+') {
        ++first;  // from_chars takes a minus sign but not a plus
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) {
        throw EConvertError("'" + text + "' is not a valid integer value");
    }
    return value;
}

}  // namespace protocol

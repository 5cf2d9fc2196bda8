#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace protocol {

// A text that does not hold a number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decimal text to a 32-bit integer: leading blanks and a sign allowed, nothing after the
// digits. Throws EConvertError "'<text>' is not a valid integer value" otherwise.
std::int32_t StrToInt(const std::string& text);

}  // namespace protocol

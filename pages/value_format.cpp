#include "pages/value_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "pages/local_time.h"

namespace pages {

namespace {

constexpr char kUnknown[] = "?";

bool IsNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
}

std::string Printed(const char* format, double number) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), format, number);
    return text.data();
}

// "[width][.precision]" followed by the kind; nullopt when it is not that shape.
std::optional<std::string> PrintfNumber(std::string_view format, double number) {
    if (format.empty()) {
        return std::nullopt;
    }
    const char kind = format.back();
    std::string_view shape = format.substr(0, format.size() - 1);
    int width = 0;
    int precision = kind == 'f' ? 6 : 0;
    auto [end, error] = std::from_chars(shape.data(), shape.data() + shape.size(), width);
    if (error != std::errc() && end != shape.data()) {
        return std::nullopt;
    }
    if (end != shape.data() + shape.size()) {
        if (*end != '.' || kind == 'd') {
            return std::nullopt;
        }
        const auto [after, bad] = std::from_chars(end + 1, shape.data() + shape.size(), precision);
        if (bad != std::errc() || after != shape.data() + shape.size()) {
            return std::nullopt;
        }
    }
    if (width > 32 || precision > 12) {
        return std::nullopt;
    }
    if (kind == '%') {
        number *= 100;
    } else if (kind == 'd') {
        number = std::round(number);
    } else if (kind != 'f') {
        return std::nullopt;
    }
    std::string text = Printed(("%." + std::to_string(precision) + "f").c_str(), number);
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    }
    return kind == '%' ? text + "%" : text;
}

std::string Bytes(double number) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    std::size_t unit = 0;
    while (std::fabs(number) >= 1024 && unit + 1 < std::size(kUnits)) {
        number /= 1024;
        ++unit;
    }
    const bool fraction = unit > 0 && std::fabs(number) < 10;
    return Printed(fraction ? "%.1f" : "%.0f", number) + " " + kUnits[unit];
}

std::string Duration(double seconds) {
    const long long whole = std::llround(std::max(0.0, seconds));
    const long long days = whole / 86400;
    const long long hours = whole / 3600 % 24;
    const long long minutes = whole / 60 % 60;
    if (days > 0)
        return std::to_string(days) + "d " + std::to_string(hours) + "h";
    if (hours > 0)
        return std::to_string(hours) + "h " + std::to_string(minutes) + "m";
    return std::to_string(minutes) + "m " + std::to_string(whole % 60) + "s";
}

std::string Number(double number, std::string_view format) {
    if (!std::isfinite(number)) {
        return kUnknown;
    }
    if (format.empty()) {
        return Printed(number == std::round(number) && std::fabs(number) < 1e15 ? "%.0f" : "%.1f",
                       number);
    }
    if (format == "bytes")
        return Bytes(number);
    if (format == "duration")
        return Duration(number);
    return PrintfNumber(format, number).value_or(kUnknown);
}

std::string Time(Moment moment, std::string_view format) {
    const std::tm parts = LocalTime(moment);
    const std::string pattern(format.empty() ? "%H:%M" : format);
    std::array<char, 256> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), pattern.c_str(), &parts);
    return std::string(text.data(), length);
}

}  // namespace

SplitText SplitFields(std::string_view text) {
    SplitText split;
    std::string literal;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool doubled = i + 1 < text.size() && text[i + 1] == c;
        if (c == '}' && !doubled) {
            split.error = "a } that closes no field: write }} for a brace";
            return split;
        }
        if (c != '{' || doubled) {
            literal += c;
            i += (c == '{' || c == '}') && doubled ? 1 : 0;
            continue;
        }
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos) {
            split.error = "a { that is never closed: write {{ for a brace";
            return split;
        }
        const std::string_view field = text.substr(i + 1, close - i - 1);
        const std::size_t colon = field.find(':');
        const std::string_view name = field.substr(0, colon);
        if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameCharacter)) {
            split.error = "{" + std::string(field) + "} names no value";
            return split;
        }
        split.pieces.push_back({std::move(literal), "", ""});
        literal.clear();
        split.pieces.push_back(
            {"", std::string(name),
             colon == std::string_view::npos ? "" : std::string(field.substr(colon + 1))});
        i = close;
    }
    split.pieces.push_back({std::move(literal), "", ""});
    return split;
}

std::optional<double> NumberOf(const Value& value) {
    if (const double* number = std::get_if<double>(&value)) {
        return *number;
    }
    const std::string* text = std::get_if<std::string>(&value);
    if (text == nullptr) {
        return std::nullopt;
    }
    const std::size_t start = text->find_first_of("-+.0123456789");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    double number = 0;
    const char* begin = text->data() + start + (text->at(start) == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(begin, text->data() + text->size(), number);
    if (error != std::errc()) {
        return std::nullopt;
    }
    return number;
}

std::string FormatValue(const Value& value, std::string_view format) {
    if (const Moment* moment = std::get_if<Moment>(&value)) {
        return Time(*moment, format);
    }
    if (const std::string* text = std::get_if<std::string>(&value); text && format.empty()) {
        return *text;
    }
    const auto number = NumberOf(value);
    return number ? Number(*number, format) : kUnknown;
}

std::string FillFields(const std::vector<TextPiece>& pieces, const ValueMap& values) {
    std::string text;
    for (const TextPiece& piece : pieces) {
        if (piece.name.empty()) {
            text += piece.literal;
            continue;
        }
        const auto found = values.find(piece.name);
        // A date is the moment with a date's format, unless the field gives one.
        const std::string_view format = piece.format.empty() && piece.name == "date"
                                            ? std::string_view("%Y-%m-%d")
                                            : std::string_view(piece.format);
        text += found != values.end() ? FormatValue(found->second, format) : kUnknown;
    }
    return text;
}

}  // namespace pages

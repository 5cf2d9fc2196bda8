#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Pictures travel inside a page file as base64 (RFC 4648, with padding), since TOML has no
// bytes of its own.
namespace pages {

std::string EncodeBase64(std::span<const std::uint8_t> bytes);
// nullopt for anything but whole, padded base64; white space is not allowed.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

}  // namespace pages

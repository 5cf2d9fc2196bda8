#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

// The system's part of saving a file, one implementation file per system.
namespace files::platform {

// Writes `bytes` to a new temporary file beside `target`, flushes it to the disk and renames
// it over `target` (which `exists` or not, and is no link), keeping an existing target's
// permissions. Every failure removes the temporary file. Returns the system's words for the
// step that failed, or nothing.
std::optional<std::string> ReplaceWhole(const std::filesystem::path& target, bool exists,
                                        std::span<const std::uint8_t> bytes);

// A hidden name beside `target` that no other writer is likely to pick; each call gives
// another.
std::filesystem::path TemporaryName(const std::filesystem::path& target);

}  // namespace files::platform

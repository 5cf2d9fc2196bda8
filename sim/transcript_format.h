#pragma once

#include <string>
#include <string_view>

#include "sim/module_options.h"

namespace sim {

// Bytes as readable text: printable ASCII as it is, backslash doubled, \n \r \t \0 by
// name and every other byte as \xHH, so a transcript line never spans two lines.
std::string EscapeBytes(std::string_view bytes);

// One transcript line without its line feed, e.g.
// "921600 host> hello, please set baudrate to: 0\n".
std::string FormatTranscriptLine(const TranscriptEntry& entry);

}  // namespace sim

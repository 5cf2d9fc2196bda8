#include "sim/transcript_format.h"

#include <cstdio>

namespace sim {

namespace {

const char* Speaker(const TranscriptEntry& entry) {
    switch (entry.kind) {
        case TranscriptEntry::Kind::Garbage:
            return "host (dropped)>";
        case TranscriptEntry::Kind::Noise:
            return "module (noise)>";
        default:
            return entry.from == TranscriptEntry::From::Host ? "host>" : "module>";
    }
}

}  // namespace

std::string EscapeBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\0':
                text += "\\0";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                if (byte >= 0x20 && byte < 0x7f) {
                    text.push_back(c);
                } else {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", byte);
                    text += hex;
                }
        }
    }
    return text;
}

std::string FormatTranscriptLine(const TranscriptEntry& entry) {
    const bool summary = entry.kind == TranscriptEntry::Kind::Payload;
    return std::to_string(entry.baud) + " " + Speaker(entry) + " " +
           (summary ? entry.bytes : EscapeBytes(entry.bytes));
}

}  // namespace sim

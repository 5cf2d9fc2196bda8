#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/module_options.h"

namespace sim {

// The transcript as a text file that grows with the conversation, one line per entry,
// flushed as it goes so that a reader sees every step as soon as it has happened.
class TranscriptFile {
public:
    // Opens `path` for appending; an empty path keeps no file. Throws std::runtime_error.
    explicit TranscriptFile(const std::string& path);
    ~TranscriptFile();
    TranscriptFile(const TranscriptFile&) = delete;
    TranscriptFile& operator=(const TranscriptFile&) = delete;

    // Writes the entries of `transcript` that came after those already written.
    void WriteNew(const std::vector<TranscriptEntry>& transcript);

private:
    std::FILE* m_file = nullptr;
    std::size_t m_written = 0;
};

}  // namespace sim

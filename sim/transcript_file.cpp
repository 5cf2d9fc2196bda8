#include "sim/transcript_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "sim/transcript_format.h"

namespace sim {

TranscriptFile::TranscriptFile(const std::string& path) {
    if (path.empty()) {
        return;
    }
    m_file = std::fopen(path.c_str(), "a");
    if (m_file == nullptr) {
        throw std::runtime_error("cannot open transcript " + path + ": " + std::strerror(errno));
    }
}

TranscriptFile::~TranscriptFile() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

void TranscriptFile::WriteNew(const std::vector<TranscriptEntry>& transcript) {
    if (m_file != nullptr) {
        for (std::size_t i = m_written; i < transcript.size(); ++i) {
            std::fprintf(m_file, "%s\n", FormatTranscriptLine(transcript[i]).c_str());
        }
        std::fflush(m_file);
    }
    m_written = transcript.size();
}

}  // namespace sim

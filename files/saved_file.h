#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace files {

// Why a file could not be saved, for each program to word in its own language.
enum class SaveProblem {
    NotRegularFile,  // the target is a folder, a FIFO or a device: refused, never opened
    SystemError,     // a step failed; the system's own words say why
};

class ESavedFile : public std::runtime_error {
public:
    ESavedFile(const std::filesystem::path& path, SaveProblem problem, std::string system_reason);

    const std::filesystem::path& Path() const { return m_path; }
    SaveProblem Problem() const { return m_problem; }
    // The system's words for a SystemError, as it gives them ("No space left on device").
    const std::string& SystemReason() const { return m_system_reason; }
    // "not a regular file", or the system's words.
    std::string Reason() const;

private:
    std::filesystem::path m_path;
    SaveProblem m_problem;
    std::string m_system_reason;
};

// Saves `bytes` as the file at `path`, whole or not at all: they go to a temporary file in
// the same folder, flushed to the disk, which is then renamed over the target, so a failed
// write leaves the old file as it was (and removes the temporary one). The new file keeps
// the old one's permissions; a symbolic link is written through and stays a link. Raises
// ESavedFile.
void SaveFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace files

#include "files/saved_file.h"

#include <cstdio>
#include <random>
#include <system_error>

#include "files/saved_file_platform.h"

namespace files {

namespace {

namespace fs = std::filesystem;

// As the system's own resolution gives up.
constexpr int kMaxLinks = 40;

std::string ReasonOf(SaveProblem problem, const std::string& system_reason) {
    return problem == SaveProblem::NotRegularFile ? "not a regular file" : system_reason;
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Where a chain of symbolic links ends: that file is replaced, so that the links stay.
fs::path FinalTarget(const fs::path& path) {
    fs::path target = path;
    for (int link = 0; link < kMaxLinks; ++link) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error))) {
            return target;
        }
        const fs::path next = fs::read_symlink(target, error);
        if (error) {
            throw ESavedFile(path, SaveProblem::SystemError, error.message());
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    throw ESavedFile(path, SaveProblem::SystemError,
                     std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
}

}  // namespace

ESavedFile::ESavedFile(const fs::path& path, SaveProblem problem, std::string system_reason)
    : std::runtime_error("Cannot write \"" + Utf8(path) +
                         "\": " + ReasonOf(problem, system_reason)),
      m_path(path),
      m_problem(problem),
      m_system_reason(std::move(system_reason)) {}

std::string ESavedFile::Reason() const {
    return ReasonOf(m_problem, m_system_reason);
}

// The target's type is looked at only: opening a FIFO would wait for a reader, and the
// rename would put a file in the place of a device.
void SaveFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    const fs::path target = FinalTarget(path);
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        throw ESavedFile(path, SaveProblem::NotRegularFile, {});
    }
    if (auto failure = platform::ReplaceWhole(target, fs::exists(status), bytes)) {
        throw ESavedFile(path, SaveProblem::SystemError, std::move(*failure));
    }
}

fs::path platform::TemporaryName(const fs::path& target) {
    static std::mt19937 random{std::random_device{}()};
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    fs::path name(".");
    name += target.filename();
    name += suffix;
    return target.parent_path() / name;
}

}  // namespace files

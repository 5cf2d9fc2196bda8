#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "files/saved_file_platform.h"

namespace files::platform {

namespace {

// As many tries as it takes to find a free name, within reason.
constexpr int kNameTries = 100;

std::string SystemReason(int code) {
    return std::system_category().message(code);
}

// Mode 0666 lets the umask apply, as to any new file; mkstemp's 0600 would not.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& name) {
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        name = TemporaryName(target);
        const int file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0 || errno != EEXIST) {
            return file;
        }
    }
    return -1;
}

// 0, or the error that ended the write; a short write goes on where it stopped.
int WriteAll(int file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(file, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? errno : EIO;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// The old file's permission bits, its content on the disk, then the close, which may report
// a late write error of its own.
int WriteTemporary(int file, const std::filesystem::path& target, bool exists,
                   std::span<const std::uint8_t> bytes) {
    struct stat old {};
    int error = 0;
    if (exists && ::stat(target.c_str(), &old) == 0 && ::fchmod(file, old.st_mode & 07777) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = WriteAll(file, bytes);
    }
    if (error == 0 && ::fsync(file) != 0) {
        error = errno;
    }
    if (::close(file) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

// The rename itself reaches the disk once the folder is flushed.
void SyncFolder(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    const int file = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (file >= 0) {
        ::fsync(file);
        ::close(file);
    }
}

}  // namespace

std::optional<std::string> ReplaceWhole(const std::filesystem::path& target, bool exists,
                                        std::span<const std::uint8_t> bytes) {
    std::filesystem::path temporary;
    const int file = CreateTemporary(target, temporary);
    if (file < 0) {
        return SystemReason(errno);
    }
    int error = WriteTemporary(file, target, exists, bytes);
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return SystemReason(error);
    }
    SyncFolder(target);
    return std::nullopt;
}

}  // namespace files::platform

#include <windows.h>

#include <algorithm>

#include "files/saved_file_platform.h"
#include "system/system_message.h"

namespace files::platform {

namespace {

// As many tries as it takes to find a free name, within reason.
constexpr int kNameTries = 100;


HANDLE CreateTemporary(const std::filesystem::path& target, std::filesystem::path& name) {
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        name = TemporaryName(target);
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// 0, or the error that ended the write, the flush or the close.
DWORD WriteTemporary(HANDLE file, std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    DWORD error = 0;
    for (std::size_t done = 0; done < bytes.size() && error == 0;) {
        DWORD written = 0;
        const auto piece = static_cast<DWORD>(std::min(bytes.size() - done, kPiece));
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr)) {
            error = GetLastError();
        } else if (written == 0) {
            error = ERROR_WRITE_FAULT;
        }
        done += written;
    }
    if (error == 0 && !FlushFileBuffers(file)) {
        error = GetLastError();
    }
    if (!CloseHandle(file) && error == 0) {
        error = GetLastError();
    }
    return error;
}

// An existing target keeps its attributes and security through ReplaceFileW; one that is
// gone by now is simply taken by the new file.
DWORD MoveOver(const std::filesystem::path& temporary, const std::filesystem::path& target,
               bool exists) {
    if (exists && ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return 0;
    }
    if (exists && GetLastError() != ERROR_FILE_NOT_FOUND) {
        return GetLastError();
    }
    return MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : GetLastError();
}

}  // namespace

std::optional<std::string> ReplaceWhole(const std::filesystem::path& target, bool exists,
                                        std::span<const std::uint8_t> bytes) {
    std::filesystem::path temporary;
    const HANDLE file = CreateTemporary(target, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        return sys::SystemMessage(GetLastError());
    }
    DWORD error = WriteTemporary(file, bytes);
    if (error == 0) {
        error = MoveOver(temporary, target, exists);
    }
    if (error != 0) {
        DeleteFileW(temporary.c_str());
        return sys::SystemMessage(error);
    }
    return std::nullopt;
}

}  // namespace files::platform

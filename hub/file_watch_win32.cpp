#include "hub/file_watch.h"  // Asio before windows.h, which would bring the old WinSock

#include <windows.h>

#include <map>
#include <set>
#include <stdexcept>

#include "system/system_message.h"

namespace hub {

namespace {

// A folder's changes, read overlapped; its event is waited on through Asio. A file that an
// editor replaces by a rename comes as its new name.
class FolderWatch {
public:
    FolderWatch(asio::io_context& io, const std::filesystem::path& folder,
                const FileChanged& changed)
        : m_event(io), m_changed(changed) {
        m_folder =
            CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (m_folder == INVALID_HANDLE_VALUE || event == nullptr) {
            const DWORD error = GetLastError();
            if (event != nullptr)
                CloseHandle(event);
            Close();
            throw std::runtime_error("cannot watch " + folder.string() + ": " +
                                     sys::SystemMessage(error));
        }
        m_event.assign(event);
        m_overlapped.hEvent = event;
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    ~FolderWatch() { Close(); }

    void Add(const std::filesystem::path& file, const std::filesystem::path& absolute) {
        m_files[absolute.filename().wstring()] = file;
    }

    void Read() {
        ResetEvent(m_overlapped.hEvent);
        const DWORD wanted =
            FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE;
        if (!ReadDirectoryChangesW(m_folder, m_buffer, sizeof m_buffer, FALSE, wanted, nullptr,
                                   &m_overlapped, nullptr)) {
            return;  // the folder went away: nothing more to tell
        }
        m_reading = true;
        m_event.async_wait([this](std::error_code error) {
            DWORD got = 0;
            m_reading = !GetOverlappedResult(m_folder, &m_overlapped, &got, FALSE) &&
                        GetLastError() == ERROR_IO_INCOMPLETE;
            if (error || m_reading) {
                return;
            }
            Tell(got);
            Read();
        });
    }

private:
    // The names in the notices, each file told once however many notices name it.
    void Tell(DWORD got) {
        std::set<std::wstring> named;
        for (DWORD at = 0; got >= sizeof(FILE_NOTIFY_INFORMATION) && at < got;) {
            const auto* notice = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(m_buffer + at);
            named.emplace(notice->FileName, notice->FileNameLength / sizeof(WCHAR));
            if (notice->NextEntryOffset == 0)
                break;
            at += notice->NextEntryOffset;
        }
        for (const std::wstring& name : named) {
            if (const auto found = m_files.find(name); found != m_files.end())
                m_changed(found->second);
        }
    }

    void Close() {
        if (m_folder != INVALID_HANDLE_VALUE) {
            CancelIoEx(m_folder, &m_overlapped);
            DWORD got = 0;
            if (m_reading)
                GetOverlappedResult(m_folder, &m_overlapped, &got, TRUE);  // the buffer is free
            CloseHandle(m_folder);
            m_folder = INVALID_HANDLE_VALUE;
        }
    }

    HANDLE m_folder = INVALID_HANDLE_VALUE;
    asio::windows::object_handle m_event;
    OVERLAPPED m_overlapped{};
    bool m_reading = false;
    alignas(DWORD) BYTE m_buffer[16 * 1024];
    const FileChanged& m_changed;
    std::map<std::wstring, std::filesystem::path> m_files;
};

class DirectoryWatch final : public FileWatch {
public:
    DirectoryWatch(asio::io_context& io, const std::vector<std::filesystem::path>& files,
                   FileChanged changed)
        : m_changed(std::move(changed)) {
        for (const std::filesystem::path& file : files) {
            const std::filesystem::path absolute = std::filesystem::absolute(file);
            auto& folder = m_folders[absolute.parent_path()];
            if (!folder) {
                folder = std::make_unique<FolderWatch>(io, absolute.parent_path(), m_changed);
            }
            folder->Add(file, absolute);
        }
        for (auto& [path, folder] : m_folders) {
            folder->Read();
        }
    }

private:
    FileChanged m_changed;
    std::map<std::filesystem::path, std::unique_ptr<FolderWatch>> m_folders;
};

}  // namespace

std::unique_ptr<FileWatch> WatchFiles(asio::io_context& io,
                                      const std::vector<std::filesystem::path>& files,
                                      FileChanged changed) {
    return std::make_unique<DirectoryWatch>(io, files, std::move(changed));
}

}  // namespace hub

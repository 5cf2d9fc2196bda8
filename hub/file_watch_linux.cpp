#include <sys/inotify.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

#include "hub/file_watch.h"

namespace hub {

namespace {

// The folders are watched, not the files: a file replaced by a rename is a new file.
class InotifyWatch final : public FileWatch {
public:
    InotifyWatch(asio::io_context& io, const std::vector<std::filesystem::path>& files,
                 FileChanged changed)
        : m_descriptor(io), m_changed(std::move(changed)) {
        const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0) {
            throw std::runtime_error(std::string("cannot watch the page files: ") +
                                     std::strerror(errno));
        }
        m_descriptor.assign(fd);
        for (const std::filesystem::path& file : files) {
            const std::filesystem::path absolute = std::filesystem::absolute(file);
            const std::filesystem::path folder = absolute.parent_path();
            const int watch =
                inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
            if (watch < 0) {
                throw std::runtime_error("cannot watch " + folder.string() + ": " +
                                         std::strerror(errno));
            }
            m_files[{watch, absolute.filename().string()}] = file;
        }
        Read();
    }

private:
    void Read() {
        m_descriptor.async_read_some(
            asio::buffer(m_buffer), [this](std::error_code error, std::size_t got) {
                if (error) {
                    return;  // closed as the hub stops
                }
                for (std::size_t at = 0; at + sizeof(inotify_event) <= got;) {
                    inotify_event event;
                    std::memcpy(&event, m_buffer.data() + at, sizeof event);
                    const std::size_t length =
                        std::min<std::size_t>(event.len, got - at - sizeof event);
                    const std::string name(m_buffer.data() + at + sizeof event,
                                           strnlen(m_buffer.data() + at + sizeof event, length));
                    if (const auto found = m_files.find({event.wd, name}); found != m_files.end()) {
                        m_changed(found->second);
                    }
                    at += sizeof event + event.len;
                }
                Read();
            });
    }

    asio::posix::stream_descriptor m_descriptor;
    FileChanged m_changed;
    std::map<std::pair<int, std::string>, std::filesystem::path> m_files;
    std::array<char, 16 * 1024> m_buffer{};
};

}  // namespace

std::unique_ptr<FileWatch> WatchFiles(asio::io_context& io,
                                      const std::vector<std::filesystem::path>& files,
                                      FileChanged changed) {
    return std::make_unique<InotifyWatch>(io, files, std::move(changed));
}

}  // namespace hub

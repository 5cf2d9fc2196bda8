#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "hub/hub_socket.h"

namespace hub {

namespace {

dev_t g_device = 0;
ino_t g_inode = 0;

std::runtime_error Refusal(const std::string& path, const std::string& why) {
    return std::runtime_error("cannot listen at " + path + ": " + why);
}

// Whether something accepts connections at the socket. A connection that would wait (a
// full backlog) means someone is there; only a refused one means nobody is.
bool Answers(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool answers =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return answers;
}

void ClearTheWay(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return;  // nothing there
    }
    if (!S_ISSOCK(status.st_mode)) {
        throw Refusal(path, "something that is no socket is there; it was left alone");
    }
    if (Answers(path)) {
        throw Refusal(path, "another lcdhub answers there");
    }
    ::unlink(path.c_str());  // left by a hub that is gone
}

gid_t GroupNamed(const std::string& group) {
    const ::group* entry = ::getgrnam(group.c_str());
    if (entry == nullptr) {
        throw std::runtime_error("no such group: " + group);
    }
    return entry->gr_gid;
}

}  // namespace

std::string DefaultSocketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0' ? std::string(runtime) + "/lcdhub.sock" : "";
}

void ListenAt(asio::local::stream_protocol::acceptor& acceptor, const std::string& path,
              const std::string& group) {
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
        throw Refusal(path, "the path is too long for a socket");
    }
    const gid_t gid = group.empty() ? 0 : GroupNamed(group);
    ClearTheWay(path);
    acceptor.open(asio::local::stream_protocol());
    const mode_t before = ::umask(0177);  // 0600 from the first moment
    std::error_code error;
    acceptor.bind(asio::local::stream_protocol::endpoint(path), error);
    ::umask(before);
    if (error) {
        throw Refusal(path, error.message());
    }
    struct stat status {};
    ::lstat(path.c_str(), &status);
    g_device = status.st_dev;
    g_inode = status.st_ino;
    // The group first, then its rights: never open to a group it was not meant for.
    if (!group.empty() && (::chown(path.c_str(), static_cast<uid_t>(-1), gid) != 0 ||
                           ::chmod(path.c_str(), 0660) != 0)) {
        const std::string why = std::strerror(errno);
        RemoveSocket(path);
        throw Refusal(path, "cannot give it to group " + group + ": " + why);
    }
    acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        RemoveSocket(path);
        throw Refusal(path, error.message());
    }
}

void RemoveSocket(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && status.st_dev == g_device &&
        status.st_ino == g_inode) {
        ::unlink(path.c_str());
    }
}

}  // namespace hub

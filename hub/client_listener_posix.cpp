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

#include "hub/client_listener.h"

namespace hub {

namespace {

using Socket = asio::local::stream_protocol::socket;

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

// Clients at a socket file that goes when the hub does, if it is still the one made here.
class SocketListener final : public ClientListener {
public:
    SocketListener(asio::io_context& io, const std::string& path, const std::string& group)
        : m_acceptor(io), m_path(path) {
        Listen(group);
    }
    ~SocketListener() override { Close(); }

    void Accept(Arrived arrived) override {
        m_acceptor.async_accept([arrived = std::move(arrived)](std::error_code error,
                                                               Socket socket) {
            arrived(error,
                    error ? nullptr : std::make_unique<AsioClientStream<Socket>>(std::move(socket)));
        });
    }

    void Close() override {
        if (!m_acceptor.is_open()) {
            return;
        }
        std::error_code ignored;
        m_acceptor.close(ignored);
        RemoveSocket();
    }

private:
    void Listen(const std::string& group) {
        if (m_path.size() >= sizeof(sockaddr_un{}.sun_path)) {
            throw Refusal(m_path, "the path is too long for a socket");
        }
        const gid_t gid = group.empty() ? 0 : GroupNamed(group);
        ClearTheWay(m_path);
        m_acceptor.open(asio::local::stream_protocol());
        const mode_t before = ::umask(0177);  // 0600 from the first moment
        std::error_code error;
        m_acceptor.bind(asio::local::stream_protocol::endpoint(m_path), error);
        ::umask(before);
        if (error) {
            std::error_code ignored;
            m_acceptor.close(ignored);
            throw Refusal(m_path, error.message());
        }
        struct stat status {};
        ::lstat(m_path.c_str(), &status);
        m_device = status.st_dev;
        m_inode = status.st_ino;
        // The group first, then its rights: never open to a group it was not meant for.
        if (!group.empty() && (::chown(m_path.c_str(), static_cast<uid_t>(-1), gid) != 0 ||
                               ::chmod(m_path.c_str(), 0660) != 0)) {
            const std::string why = std::strerror(errno);
            Close();
            throw Refusal(m_path, "cannot give it to group " + group + ": " + why);
        }
        m_acceptor.listen(asio::socket_base::max_listen_connections, error);
        if (error) {
            Close();
            throw Refusal(m_path, error.message());
        }
    }

    void RemoveSocket() {
        struct stat status {};
        if (::lstat(m_path.c_str(), &status) == 0 && status.st_dev == m_device &&
            status.st_ino == m_inode) {
            ::unlink(m_path.c_str());
        }
    }

    asio::local::stream_protocol::acceptor m_acceptor;
    std::string m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

}  // namespace

std::string DefaultHubAddress() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime != '\0' ? std::string(runtime) + "/lcdhub.sock" : "";
}

const char* ClientAddressSynopsis() {
    return "[--socket PATH] [--socket-group G]";
}

const char* ClientAddressUsage() {
    return "  --socket PATH         where clients connect (default "
           "$XDG_RUNTIME_DIR/lcdhub.sock)\n"
           "  --socket-group G      let group G connect too (the socket becomes 0660)\n";
}

std::unique_ptr<ClientListener> ListenForClients(asio::io_context& io, const std::string& address,
                                                 const std::string& group) {
    return std::make_unique<SocketListener>(io, address, group);
}

}  // namespace hub

#include <glob.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/hub_channel.h"

namespace cli {

namespace {

bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
    pollfd wanted{fd, events, 0};
    int ready;
    while ((ready = ::poll(&wanted, 1, static_cast<int>(timeout.count()))) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

class SocketChannel final : public HubChannel {
public:
    explicit SocketChannel(int fd) : m_fd(fd) {}
    ~SocketChannel() override { ::close(m_fd); }

    std::optional<std::size_t> WriteSome(const char* data, std::size_t count,
                                         std::chrono::milliseconds left) override {
        if (left.count() <= 0 || !WaitFor(m_fd, POLLOUT, left)) {
            return std::nullopt;
        }
        const ssize_t put = ::send(m_fd, data, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return std::nullopt;
        }
        return put > 0 ? static_cast<std::size_t>(put) : 0;
    }

    std::optional<std::size_t> Read(char* buffer, std::size_t room,
                                    std::chrono::milliseconds timeout) override {
        if (!WaitFor(m_fd, POLLIN, timeout)) {
            return std::nullopt;
        }
        const ssize_t got = ::recv(m_fd, buffer, room, MSG_DONTWAIT);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }

private:
    int m_fd;
};

}  // namespace

std::unique_ptr<HubChannel> ConnectHub(const std::string& path, std::string* why) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        if (why)
            *why = "the path is too long for a socket";
        return nullptr;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (why)
            *why = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    return std::make_unique<SocketChannel>(fd);
}

std::vector<std::string> HubCandidates() {
    std::vector<std::string> candidates;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        candidates.push_back(std::string(runtime) + "/lcdhub.sock");
    }
    glob_t found{};
    if (::glob("/run/lcdhub/*/lcdhub.sock", 0, nullptr, &found) == 0 && found.gl_pathc == 1) {
        candidates.emplace_back(found.gl_pathv[0]);  // more than one: no guessing which
    }
    ::globfree(&found);
    return candidates;
}

}  // namespace cli

#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>

namespace testing_support {

// A client of the hub's socket, as a script in any language would be: write, read lines.
class HubClient {
public:
    explicit HubClient(const std::string& path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HubClient() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Connected() const { return m_fd >= 0; }
    bool Send(const std::string& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // The next line without its LF; "" at the end or after `timeout`. Events are skipped
    // unless asked for.
    std::string Line(bool events = false,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const std::size_t end = m_in.find('\n');
            if (end != std::string::npos) {
                std::string line = m_in.substr(0, end);
                m_in.erase(0, end + 1);
                if (events || line.rfind("event ", 0) != 0)
                    return line;
                continue;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd input{m_fd, POLLIN, 0};
            char chunk[4096];
            if (left.count() <= 0 || ::poll(&input, 1, static_cast<int>(left.count())) <= 0)
                return "";
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return "";
            m_in.append(chunk, static_cast<std::size_t>(n));
        }
    }
    // Whether the hub closed the connection (after any lines still to read).
    bool Closed() {
        while (!Line(true, std::chrono::milliseconds(300)).empty()) {
        }
        pollfd input{m_fd, POLLIN, 0};
        char byte;
        return ::poll(&input, 1, 500) > 0 && ::recv(m_fd, &byte, 1, MSG_DONTWAIT) == 0;
    }

private:
    int m_fd = -1;
    std::string m_in;
};

}  // namespace testing_support

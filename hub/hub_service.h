#pragma once

#include <asio.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "hub/hub_server.h"
#include "hub/link_worker.h"

// lcdhub put together: the socket, the clients, the module's line, the log.
namespace hub {

struct HubOptions {
    std::string port;  // empty: the only USB serial port
    std::int32_t baud = 921600;
    std::string socket;  // empty: DefaultHubAddress()
    std::string socket_group;
    bool clear_on_exit = false;
    bool verbose = false;  // the module's replies in the log
    LinkTimings timings;
    ServerLimits limits;
};

class HubService final : private LinkEvents, private serial::LogSink {
public:
    HubService(const HubOptions& options, serial::SerialPlatform& platform,
               std::FILE* log = stderr);
    ~HubService() override;

    // Takes the socket or pipe; std::runtime_error says why it cannot.
    void Listen();
    // Serves until Stop.
    void Run();
    // From any thread: the frame on the line finishes, the screen is cleared if asked, the
    // socket removed.
    void Stop();
    // From any thread: a serial port came or went; the line looks at once.
    void PortsChanged() { m_link.PortsChanged(); }

    const std::string& SocketPath() const { return m_socket_path; }

private:
    void LinkUp(const std::string& port, std::int32_t baud) override;
    void LinkDown(const std::string& reason) override;
    void FrameSent(const std::string& screen, std::uint64_t version) override;
    void FrameUnanswered(const std::string& screen, std::uint64_t version) override;
    void Waiting(const std::string& why) override;
    void LogLine(std::string_view text) override;
    void LogReply(std::string_view bytes) override;
    void Write(const std::string& line);
    PortPick FindPort();

    HubOptions m_options;
    serial::SerialPlatform& m_platform;
    std::FILE* m_log;
    std::string m_socket_path;
    asio::io_context m_io;
    std::unique_ptr<ClientListener> m_listener;
    LinkWorker m_link;
    std::unique_ptr<HubServer> m_server;
    bool m_stopped = false;
};

}  // namespace hub

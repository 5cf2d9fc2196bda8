#pragma once

#include <asio.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "hub/client_listener.h"
#include "hub/hub_core.h"

// The clients' side of the hub: connections over a local socket or pipe, their framing and
// their limits, pictures decoded on workers, and the screens' alarm. One thread runs it.
namespace hub {

struct ServerLimits {
    std::size_t clients = 32;
    std::size_t queued_bytes = 64 * 1024;  // replies and events waiting for a slow reader
    std::chrono::milliseconds payload_silence{10000};
    unsigned decoders = 2;
    // Payloads held at once by all clients together, while they come and are decoded; one
    // that would go over is read and dropped, and answered "error busy".
    std::size_t held_payload_bytes = 256u * 1024 * 1024;
    // After a failed accept (no descriptors left, say): the next try, not a spin.
    std::chrono::milliseconds accept_retry{1000};
};

// A line for the service's log, told as it happens.
using EventLog = std::function<void(const std::string& line)>;

class Connection;

class HubServer {
public:
    HubServer(asio::io_context& io, ClientListener& listener, Display& display, std::int32_t baud,
              EventLog log, ServerLimits limits = {});
    ~HubServer();

    void Start();
    // No new clients; those connected are closed.
    void Close();

    HubCore& Core() { return m_core; }
    asio::io_context& Io() { return m_io; }
    const ServerLimits& Limits() const { return m_limits; }
    void Log(const std::string& line) { m_log(line); }
    // Runs `decode` on a worker and `done` on the server's thread with its result.
    void Decode(std::function<std::shared_ptr<const Frame>(std::string& error)> decode,
                std::function<void(std::shared_ptr<const Frame>, const std::string&)> done);
    void Forget(const std::shared_ptr<Connection>& connection);
    // Room for a payload of `bytes` among all the clients' payloads; false when none.
    bool HoldPayload(std::size_t bytes);
    void ReleasePayload(std::size_t bytes) { m_held_payload_bytes -= bytes; }

private:
    void Accept();
    void RetryAccept(std::error_code error);
    void Refuse(std::unique_ptr<ClientStream> stream);
    void SetAlarm(std::optional<Clock::time_point> when);

    asio::io_context& m_io;
    ClientListener& m_listener;
    EventLog m_log;
    ServerLimits m_limits;
    HubCore m_core;
    asio::steady_timer m_alarm;
    asio::steady_timer m_accept_retry;
    asio::thread_pool m_decoders;
    std::set<std::shared_ptr<Connection>> m_connections;
    bool m_closed = false;
    bool m_accept_failing = false;
    std::size_t m_held_payload_bytes = 0;
};

}  // namespace hub

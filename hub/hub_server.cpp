#include "hub/hub_server.h"

#include "hub/connection.h"

namespace hub {

HubServer::HubServer(asio::io_context& io, ClientListener& listener, Display& display,
                     std::int32_t baud, EventLog log, ServerLimits limits)
    : m_io(io),
      m_listener(listener),
      m_log(std::move(log)),
      m_limits(limits),
      m_core(
          display, [] { return Clock::now(); },
          [this](std::optional<Clock::time_point> when) { SetAlarm(when); }, baud),
      m_alarm(io),
      m_accept_retry(io),
      m_decoders(limits.decoders) {}

HubServer::~HubServer() {
    Close();
    m_decoders.join();
}

void HubServer::Start() {
    Accept();
}

void HubServer::Close() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_listener.Close();
    m_alarm.cancel();
    m_accept_retry.cancel();
    const auto connections = m_connections;
    for (const auto& connection : connections) {
        connection->Drop("the hub is stopping");
    }
}

void HubServer::Accept() {
    m_listener.Accept([this](std::error_code error, std::unique_ptr<ClientStream> stream) {
        if (m_closed) {
            return;
        }
        if (!error) {
            m_accept_failing = false;
            if (m_connections.size() >= m_limits.clients) {
                Refuse(std::move(stream));
            } else {
                auto connection = std::make_shared<Connection>(*this, std::move(stream));
                m_connections.insert(connection);
                connection->Start();
            }
        } else if (error == asio::error::operation_aborted) {
            return;
        } else {
            RetryAccept(error);
            return;
        }
        Accept();
    });
}

// A failure that would come again at once (too many open files): said once, tried later.
void HubServer::RetryAccept(std::error_code error) {
    if (!m_accept_failing) {
        m_log("cannot take a client: " + error.message());
    }
    m_accept_failing = true;
    m_accept_retry.expires_after(m_limits.accept_retry);
    m_accept_retry.async_wait([this](std::error_code cancelled) {
        if (!cancelled && !m_closed) {
            Accept();
        }
    });
}

bool HubServer::HoldPayload(std::size_t bytes) {
    if (bytes > m_limits.held_payload_bytes - m_held_payload_bytes) {
        return false;
    }
    m_held_payload_bytes += bytes;
    return true;
}

// One line, no greeting; the stream lives until the line is out or cannot go.
void HubServer::Refuse(std::unique_ptr<ClientStream> stream) {
    std::shared_ptr<ClientStream> refused = std::move(stream);
    static const std::string busy = "error busy\n";
    refused->Write(asio::buffer(busy), [refused](std::error_code, std::size_t) {
        refused->Close();
    });
    m_log("a client was refused: " + std::to_string(m_limits.clients) + " are connected");
}

void HubServer::Decode(std::function<std::shared_ptr<const Frame>(std::string& error)> decode,
                       std::function<void(std::shared_ptr<const Frame>, const std::string&)> done) {
    asio::post(m_decoders, [this, decode = std::move(decode), done = std::move(done)]() mutable {
        std::string error;
        std::shared_ptr<const Frame> frame = decode(error);
        asio::post(m_io, [done = std::move(done), frame = std::move(frame), error]() {
            done(frame, error);
        });
    });
}

void HubServer::Forget(const std::shared_ptr<Connection>& connection) {
    m_connections.erase(connection);
}

// Nothing runs until the screens next change by themselves.
void HubServer::SetAlarm(std::optional<Clock::time_point> when) {
    if (!when) {
        m_alarm.cancel();
        return;
    }
    m_alarm.expires_at(*when);
    m_alarm.async_wait([this](std::error_code error) {
        if (!error && !m_closed) {
            m_core.Reschedule();
        }
    });
}

}  // namespace hub

#include "hub/hub_service.h"

#include <mutex>

#include "hub/client_listener.h"
#include "pictures/module_text.h"
#include "serial/port_choice.h"

namespace hub {

HubService::HubService(const HubOptions& options, serial::SerialPlatform& platform, std::FILE* log)
    : m_options(options),
      m_platform(platform),
      m_log(log),
      m_socket_path(options.socket.empty() ? DefaultHubAddress() : options.socket),
      m_link(
          platform, *this, *this, [this] { return FindPort(); }, options.baud, options.timings) {}

HubService::~HubService() {
    m_link.Stop(false);
    m_server.reset();
    m_listener.reset();
}

void HubService::Listen() {
    if (m_socket_path.empty()) {
        throw std::runtime_error("XDG_RUNTIME_DIR is not set; name the socket with --socket");
    }
    if (m_options.port.empty() && !m_platform.NamesTellUsbPorts()) {
        // It would wait for good for a port it can never pick.
        throw std::runtime_error("name the port with --port: " + m_platform.PortNamePrefix() +
                                 " names do not tell a USB adapter from a built-in port");
    }
    m_listener = ListenForClients(m_io, m_socket_path, m_options.socket_group);
    m_server = std::make_unique<HubServer>(
        m_io, *m_listener, m_link, m_options.baud, [this](const std::string& line) { Write(line); },
        m_options.limits);
    Write("listening at " + m_socket_path);
}

void HubService::Run() {
    m_link.Start();
    m_server->Start();
    m_io.run();
}

void HubService::Stop() {
    asio::post(m_io, [this] {
        if (m_stopped) {
            return;
        }
        m_stopped = true;
        m_server->Close();
        m_link.Stop(m_options.clear_on_exit);
        Write("stopped");
        m_io.stop();
    });
}

// The line's thread tells; the clients' thread acts.
void HubService::LinkUp(const std::string& port, std::int32_t baud) {
    asio::post(m_io, [this, port, baud] {
        Write("link up at " + std::to_string(baud) + " on " + port);
        m_server->Core().LinkUp(port, baud);
    });
}

void HubService::LinkDown(const std::string& reason) {
    asio::post(m_io, [this, reason] {
        Write("link lost: " + reason);
        m_server->Core().LinkDown(reason);
    });
}

void HubService::FrameSent(const std::string& screen, std::uint64_t version) {
    asio::post(m_io, [this, screen, version] { m_server->Core().FrameSent(screen, version); });
}

void HubService::FrameUnanswered(const std::string& screen, std::uint64_t version) {
    asio::post(m_io, [this, screen, version] {
        Write("no reply to the frame of " + screen);
        m_server->Core().FrameUnanswered(screen, version);
    });
}

void HubService::Waiting(const std::string& why) {
    asio::post(m_io, [this, why] { Write("waiting for the port: " + why); });
}

// The module's own words, only when asked for, and never raw.
void HubService::LogLine(std::string_view text) {
    if (m_options.verbose) {
        Write("line: " + std::string(text));
    }
}

void HubService::LogReply(std::string_view bytes) {
    if (m_options.verbose) {
        std::string_view reply = bytes;
        while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) {
            reply.remove_suffix(1);
        }
        Write("module: " + EscapeForDisplay(DecodeModuleText(reply)));
    }
}

// One line per event, whole, whichever thread tells it.
void HubService::Write(const std::string& line) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fprintf(m_log, "lcdhub: %s\n", line.c_str());
    std::fflush(m_log);
}

PortPick HubService::FindPort() {
    const serial::PortChoice choice = serial::ChoosePort(m_platform, m_options.port);
    return {choice.name, choice.problem};
}

}  // namespace hub

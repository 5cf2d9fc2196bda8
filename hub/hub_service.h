#pragma once

#include <asio.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "hub/file_watch.h"
#include "hub/hub_server.h"
#include "hub/link_worker.h"
#include "hub/page_worker.h"

// lcdhub put together: the socket, the clients, the module's line, the log.
namespace hub {

struct HubOptions {
    std::string port;  // empty: the only USB serial port
    std::int32_t baud = 921600;
    std::string socket;  // empty: DefaultHubAddress()
    std::string socket_group;
    bool clear_on_exit = false;
    std::vector<std::string> pages;  // page files of the hub's own
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
    // The hub's own page files: read at the start (a mistake stops it), and again when one
    // changes (a mistake then keeps the pages shown).
    void LoadPages();
    bool LoadPageFile(const std::string& file, bool at_start);
    void TellHubValues();

    HubOptions m_options;
    serial::SerialPlatform& m_platform;
    std::FILE* m_log;
    std::string m_socket_path;
    asio::io_context m_io;
    std::unique_ptr<ClientListener> m_listener;
    LinkWorker m_link;
    std::unique_ptr<HubServer> m_server;
    std::mutex m_hub_values_mutex;
    pages::ValueMap m_hub_values;
    PageWorker m_pages;
    std::unique_ptr<FileWatch> m_page_files;
    // An editor's save can come as several notices: they are read once, a moment later.
    asio::steady_timer m_reload_timer{m_io};
    std::set<std::string> m_changed_pages;
    bool m_stopped = false;
};

}  // namespace hub

#include "hub/hub_service.h"

#include <mutex>

#include "hub/client_listener.h"
#include "pages/local_time.h"
#include "pictures/module_text.h"
#include "serial/port_choice.h"

namespace hub {

HubService::HubService(const HubOptions& options, serial::SerialPlatform& platform, std::FILE* log)
    : m_options(options),
      m_platform(platform),
      m_log(log),
      m_socket_path(options.socket.empty() ? DefaultHubAddress() : options.socket),
      m_link(
          platform, *this, *this, [this] { return FindPort(); }, options.baud, options.timings),
      m_pages(
          pages::FontLibrary::SystemFolders(),
          [this](const std::string& name, std::shared_ptr<const Frame> frame) {
              asio::post(m_io, [this, name, frame] {
                  if (!m_stopped)
                      m_server->Core().PageDrawn(name, frame);
              });
          },
          [this](const std::string& line) { Write(line); },
          [this] {
              std::lock_guard lock(m_hub_values_mutex);
              return m_hub_values;
          }) {}

HubService::~HubService() {
    m_pages.Stop();
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
    m_server->Core().UsePages(m_pages);
    TellHubValues();
    LoadPages();
    Write("listening at " + m_socket_path);
}

void HubService::LoadPages() {
    for (const std::string& file : m_options.pages) {
        LoadPageFile(file, true);
    }
    if (m_options.pages.empty()) {
        return;
    }
    const std::vector<std::filesystem::path> files(m_options.pages.begin(), m_options.pages.end());
    m_page_files = WatchFiles(m_io, files, [this](const std::filesystem::path& file) {
        m_changed_pages.insert(file.string());
        m_reload_timer.expires_after(std::chrono::milliseconds(200));
        m_reload_timer.async_wait([this](std::error_code error) {
            if (error) {
                return;  // put off by a later notice, or the hub stops
            }
            for (const std::string& changed : std::exchange(m_changed_pages, {})) {
                LoadPageFile(changed, false);
            }
        });
    });
}

bool HubService::LoadPageFile(const std::string& file, bool at_start) {
    auto read = pages::ReadPageFile(file, pages::Trust::Own);
    if (const std::string* error = std::get_if<std::string>(&read)) {
        if (at_start) {
            throw std::runtime_error(*error);
        }
        Write(*error + "; the pages shown stay");
        return false;
    }
    const pages::PageFile& pages = std::get<pages::PageFile>(read);
    const std::string reply = m_server->Core().TakeOwnPages(file, pages);
    if (!reply.starts_with("ok")) {
        const std::string why = "pages of " + file + ": " + reply.substr(reply.find(' ') + 1);
        if (at_start) {
            throw std::runtime_error(why);
        }
        Write(why);
        return false;
    }
    Write((at_start ? "pages of " : "pages reloaded from ") + file + ": " + reply.substr(9));
    if (file == m_options.pages.front() && pages.display) {
        m_server->Core().UseBlanking(*pages.display, [] {
            const std::tm now = pages::LocalTime(std::chrono::system_clock::now());
            return now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec;
        });
    }
    return true;
}

void HubService::Run() {
    m_pages.Start();
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
        m_page_files.reset();
        m_reload_timer.cancel();
        m_pages.Stop();
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
        TellHubValues();
    });
}

void HubService::LinkDown(const std::string& reason) {
    asio::post(m_io, [this, reason] {
        Write("link lost: " + reason);
        m_server->Core().LinkDown(reason);
        TellHubValues();
    });
}

void HubService::FrameSent(const std::string& screen, std::uint64_t version) {
    asio::post(m_io, [this, screen, version] {
        m_server->Core().FrameSent(screen, version);
        TellHubValues();
    });
}

// The status's fields as the pages' "hub." values, for the page thread to read.
void HubService::TellHubValues() {
    pages::ValueMap values;
    for (auto& [key, value] : m_server->Core().StatusFields()) {
        values["hub." + key] = std::move(value);
    }
    std::lock_guard lock(m_hub_values_mutex);
    m_hub_values = std::move(values);
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

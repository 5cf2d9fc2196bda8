#pragma once

#include <optional>
#include <string>

namespace sim {

// The module's end of a pseudo-terminal. The slave path is what the host opens as its
// serial port. The module keeps a slave descriptor of its own open all the time: without
// it, reads of the master fail with EIO whenever the host has the port closed.
class PseudoTerminal {
public:
    // Opens a master, and the slave in raw mode at `start_baud`; throws std::runtime_error.
    explicit PseudoTerminal(int start_baud);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slave_path; }
    bool IsOpen() const { return m_master >= 0; }

    // The speed the host's end of the line is set to; nullopt once closed.
    std::optional<int> HostBaud() const;

    // Closes the master and the module's slave descriptor: to the host the device is gone.
    void Close();

    // Notified when a host opens or closes the port; -1 if the system gives no watch.
    int HostWatch() const { return m_watch; }
    // Takes the opens and closes noticed so far. A serial driver drops what its reader left
    // unread at close, and receives nothing while the port is closed; so does this line.
    void FollowHost();
    bool HostHasPortOpen() const { return m_watch < 0 || m_host_opens > 0; }

private:
    void WatchHostOpens();

    int m_master = -1;
    int m_slave = -1;
    int m_watch = -1;
    int m_host_opens = 0;
    std::string m_slave_path;
};

}  // namespace sim

#pragma once

#include <string>

namespace sim {

// A symlink at a fixed path to the pseudo-terminal, whose own name changes from run to
// run, so that users and scripts can name the port.
class PortLink {
public:
    // Links `link_path` to `target`; an empty link path makes no link. An existing
    // symlink there is taken over (a leftover from an earlier run); anything else at that
    // path is left alone and the link fails. Throws std::runtime_error.
    PortLink(std::string link_path, std::string target);
    ~PortLink();  // Remove()
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Removes the link if it still points at our target: another instance may have taken
    // the path over meanwhile.
    void Remove();

private:
    std::string m_link_path;
    std::string m_target;
    bool m_created = false;
};

}  // namespace sim

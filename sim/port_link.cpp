#include "sim/port_link.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace sim {

namespace fs = std::filesystem;

PortLink::PortLink(std::string link_path, std::string target)
    : m_link_path(std::move(link_path)), m_target(std::move(target)) {
    if (m_link_path.empty()) {
        return;
    }
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(m_link_path, error))) {
        fs::remove(m_link_path, error);
    }
    fs::create_symlink(m_target, m_link_path, error);
    if (error) {
        throw std::runtime_error("cannot create link " + m_link_path + ": " + error.message());
    }
    m_created = true;
}

PortLink::~PortLink() {
    Remove();
}

void PortLink::Remove() {
    if (!m_created) {
        return;
    }
    m_created = false;
    std::error_code error;
    if (fs::read_symlink(m_link_path, error) == m_target && !error) {
        fs::remove(m_link_path, error);
    }
}

}  // namespace sim

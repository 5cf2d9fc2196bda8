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
    const fs::file_status existing = fs::symlink_status(m_link_path, error);
    if (fs::exists(existing) && !fs::is_symlink(existing)) {
        throw std::runtime_error("cannot create link " + m_link_path + ": " +
                                 std::make_error_code(std::errc::file_exists).message());
    }
    // Made aside and renamed over the path, so that whoever opens the path never finds it
    // missing or half made.
    const std::string aside = m_link_path + ".new";
    if (fs::is_symlink(fs::symlink_status(aside, error))) {
        fs::remove(aside, error);  // a leftover of ours
    }
    fs::create_symlink(m_target, aside, error);
    if (!error) {
        fs::rename(aside, m_link_path, error);
    }
    if (error) {
        const std::string reason = error.message();
        fs::remove(aside, error);
        throw std::runtime_error("cannot create link " + m_link_path + ": " + reason);
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

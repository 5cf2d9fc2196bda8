#pragma once

#include <asio.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace hub {

// Tells, on the io_context's thread, when one of the files changed: written in place, or
// replaced by a rename as editors save. It waits on the system's notices, never polls.
class FileWatch {
public:
    virtual ~FileWatch() = default;
};

using FileChanged = std::function<void(const std::filesystem::path& file)>;

// std::runtime_error says why a file's folder cannot be watched.
std::unique_ptr<FileWatch> WatchFiles(asio::io_context& io,
                                      const std::vector<std::filesystem::path>& files,
                                      FileChanged changed);

}  // namespace hub

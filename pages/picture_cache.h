#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "imaging/bitmap.h"
#include "pages/page_file.h"

namespace pages {

// The pictures pages show, decoded once: a file again when its size or time changes, and
// bytes sent inside a page once. A picture that cannot be had is logged once; a file that
// turns bad keeps its last good picture.
class PictureCache {
public:
    using Log = std::function<void(const std::string&)>;

    explicit PictureCache(Log log);

    const imaging::Bitmap* Get(const PictureElement& element);

private:
    struct Entry {
        imaging::Bitmap picture;
        std::filesystem::file_time_type time{};
        std::uintmax_t size = 0;
        std::string failure;  // the last one logged
    };

    const imaging::Bitmap* FromFile(const std::string& path);
    const imaging::Bitmap* FromBytes(const std::vector<std::uint8_t>& bytes);

    Log m_log;
    std::map<std::string, Entry> m_files;
    // By the element's own bytes, which live as long as its page: the pages a cache serves
    // are never copied while it does.
    std::map<const std::vector<std::uint8_t>*, Entry> m_embedded;
};

}  // namespace pages

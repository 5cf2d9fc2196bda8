#include "pages/picture_cache.h"

#include "imaging/picture_file.h"
#include "pictures/picture_files.h"
#include "protocol/commands.h"

namespace pages {

namespace {

// A page's picture is never larger than the screen, so a large JPEG decodes scaled down.
constexpr int kCoverSide = protocol::kScreenWidth;

std::string ReasonOf(const std::exception& failure) {
    const auto* file = dynamic_cast<const imaging::EPictureFile*>(&failure);
    return file != nullptr ? file->Reason() : failure.what();
}

}  // namespace

PictureCache::PictureCache(Log log) : m_log(std::move(log)) {}

const imaging::Bitmap* PictureCache::Get(const PictureElement& element) {
    return element.bytes.empty() ? FromFile(element.path) : FromBytes(element.bytes);
}

const imaging::Bitmap* PictureCache::FromFile(const std::string& path) {
    const std::filesystem::path full = path;
    Entry& entry = m_files[path];
    std::error_code error;
    const auto time = std::filesystem::last_write_time(full, error);
    const auto size = error ? 0 : std::filesystem::file_size(full, error);
    if (!error && !entry.picture.IsEmpty() && time == entry.time && size == entry.size) {
        return &entry.picture;
    }
    try {
        entry.picture = pictures::LoadPictureFile(full, kCoverSide);
        entry.time = time;
        entry.size = size;
        entry.failure.clear();
    } catch (const std::exception& failure) {
        const std::string reason = ReasonOf(failure);
        if (reason != entry.failure) {
            m_log("picture " + imaging::PathText(full) + ": " + reason);
            entry.failure = reason;
        }
    }
    return entry.picture.IsEmpty() ? nullptr : &entry.picture;
}

const imaging::Bitmap* PictureCache::FromBytes(const std::vector<std::uint8_t>& bytes) {
    if (const auto found = m_embedded.find(&bytes); found != m_embedded.end()) {
        return found->second.picture.IsEmpty() ? nullptr : &found->second.picture;
    }
    Entry& entry = m_embedded[&bytes];
    try {
        entry.picture = pictures::DecodePicture(bytes, kCoverSide);
    } catch (const std::exception& failure) {
        m_log("an embedded picture: " + ReasonOf(failure));
    }
    return entry.picture.IsEmpty() ? nullptr : &entry.picture;
}

}  // namespace pages

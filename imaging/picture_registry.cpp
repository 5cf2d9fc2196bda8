#include "imaging/picture_registry.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "imaging/jpeg_image.h"

namespace imaging {

namespace {

struct Registration {
    FileFormat format;
    GraphicFactory factory;
};

std::vector<Registration>& Registrations() {
    static std::vector<Registration> registrations;
    return registrations;
}

std::string NormalizedExtension(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') {
        extension.remove_prefix(1);
    }
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::vector<Registration>::iterator FindRegistration(const std::string& extension) {
    auto& registrations = Registrations();
    return std::find_if(registrations.begin(), registrations.end(),
                        [&](const Registration& r) { return r.format.extension == extension; });
}

std::unique_ptr<TGraphic> LoadJPEGFile(const std::filesystem::path& path) {
    auto picture = std::make_unique<TJPEGImage>();
    picture->LoadFromFile(path);
    return picture;
}

constexpr const char* kJPEGDescription = "JPEG Image File";

}  // namespace

void RegisterFileFormat(std::string_view extension, std::string description,
                        GraphicFactory factory) {
    Registrations().push_back(
        {{NormalizedExtension(extension), std::move(description)}, std::move(factory)});
}

void UnregisterFileFormat(std::string_view extension) {
    const auto existing = FindRegistration(NormalizedExtension(extension));
    if (existing != Registrations().end()) {
        Registrations().erase(existing);
    }
}

std::vector<FileFormat> RegisteredFileFormats() {
    std::vector<FileFormat> formats;
    for (const Registration& registration : Registrations()) {
        formats.push_back(registration.format);
    }
    return formats;
}

std::unique_ptr<TGraphic> LoadPictureFromFile(const std::filesystem::path& path) {
    const std::string extension = NormalizedExtension(path.extension().string());
    const auto registration = FindRegistration(extension);
    if (registration == Registrations().end()) {
        throw EInvalidGraphic("Unknown picture file extension \"." + extension + "\"");
    }
    return registration->factory(path);
}

void RegisterJPEGFormat() {
    RegisterFileFormat("jpeg", kJPEGDescription, LoadJPEGFile);
    RegisterFileFormat("jpg", kJPEGDescription, LoadJPEGFile);
}

void UnregisterJPEGFormat() {
    UnregisterFileFormat("jpeg");
    UnregisterFileFormat("jpg");
}

}  // namespace imaging

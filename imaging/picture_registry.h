#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/graphic.h"

namespace imaging {

// Creates a picture of one type and loads the file into it.
using GraphicFactory = std::function<std::unique_ptr<TGraphic>(const std::filesystem::path&)>;

struct FileFormat {
    std::string extension;  // lower case, without the dot
    std::string description;
};

// Registers a picture type for a file extension ("jpg" or ".jpg", any case).
void RegisterFileFormat(std::string_view extension, std::string description,
                        GraphicFactory factory);
void UnregisterFileFormat(std::string_view extension);

// The registered formats in registration order.
std::vector<FileFormat> RegisteredFileFormats();

// Loads a picture of the type registered for the file's extension, compared without
// regard to case; raises EInvalidGraphic for an extension nobody registered.
std::unique_ptr<TGraphic> LoadPictureFromFile(const std::filesystem::path& path);

// The JPEG picture type for "jpeg" and then "jpg"; called once at start-up, after
// ComputeDefaultJPEGDepth.
void RegisterJPEGFormat();
void UnregisterJPEGFormat();

}  // namespace imaging

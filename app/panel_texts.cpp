#include "app/panel_texts.h"

namespace panel::texts {

std::string Format(std::string_view format, std::initializer_list<std::string_view> values) {
    std::string text;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const std::size_t index =
            i + 1 < format.size() && format[i] == '%' ? format[i + 1] - '1' : values.size();
        if (index < values.size()) {
            text += values.begin()[index];
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

std::string PictureReason(imaging::PictureProblem problem, std::string_view detail) {
    return Format(kPictureProblems.at(static_cast<std::size_t>(problem)), {detail});
}

std::string UnreadablePicture(const std::filesystem::path& path, const std::exception& error) {
    const auto* file_error = dynamic_cast<const imaging::EPictureFile*>(&error);
    return Format(
        kUnreadablePicture,
        {imaging::PathText(path),
         file_error ? PictureReason(file_error->Problem(), file_error->Detail()) : error.what()});
}

std::string UnsavedFile(const files::ESavedFile& error) {
    const std::string reason =
        Format(kSaveProblems.at(static_cast<std::size_t>(error.Problem())), {error.SystemReason()});
    return Format(kUnsavedFile, {imaging::PathText(error.Path()), reason});
}

}  // namespace panel::texts

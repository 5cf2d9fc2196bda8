// The panel's additions beyond its layout: pictures from files (dropped, opened or named
// at start), and saving the preview and the log.
#include <algorithm>
#include <stdexcept>

#include "app/panel.h"
#include "app/panel_texts.h"
#include "files/saved_file.h"
#include "imaging/picture_file.h"
#include "imaging/screen_scaler.h"
#include "pictures/picture_codec.h"
#include "pictures/picture_files.h"

namespace panel {

namespace {

// The folders, the working folder by its full name.
std::string FolderList(const std::vector<std::filesystem::path>& folders) {
    std::string list;
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        const std::filesystem::path shown =
            folder == "." ? std::filesystem::current_path(error) : folder;
        list +=
            (list.empty() ? "" : std::string(texts::kFolderSeparator)) + imaging::PathText(shown);
    }
    return list;
}

// Saved whole or not at all; a failure in the window's words.
void Save(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    try {
        files::SaveFile(path, bytes);
    } catch (const files::ESavedFile& error) {
        throw std::runtime_error(texts::UnsavedFile(error));
    }
}

}  // namespace

// A picture file takes the clipboard picture's way into Image1: cropped and stretched
// when scaling, else 1:1 on white. A large JPEG that is only shown scaled decodes at the
// size it is shown at. A file that cannot be read changes nothing.
void Panel::LoadPicture(const std::filesystem::path& path, bool send) {
    const bool scale = m_view.IsChecked(Switch::ScalePictures);
    imaging::Bitmap picture;
    try {
        picture = pictures::LoadPictureFile(path, scale ? protocol::kScreenWidth : 0);
    } catch (const std::exception& error) {
        throw std::runtime_error(texts::UnreadablePicture(path, error));
    }
    SetSourceBitmap(imaging::ComposeScreenPicture(picture, scale));
    if (send && m_view.IsChecked(Switch::AutoSend)) {
        Button1Click();
    }
}

void Panel::OpenPictureFile(const std::filesystem::path& path) {
    LoadPicture(path, true);
}

// A picture named on the command line replaces the demo picture; nothing is sent, since
// no port is open yet.
void Panel::LoadStartPicture() {
    if (!m_start.file.empty()) {
        LoadPicture(m_start.file, false);
        return;
    }
    const std::vector<std::filesystem::path> folders = DemoPictureFolders();
    std::error_code error;
    const auto found = std::ranges::find_if(folders, [&](const std::filesystem::path& folder) {
        return std::filesystem::exists(folder / kDemoPicture, error);
    });
    if (found == folders.end()) {
        throw std::runtime_error(
            texts::Format(texts::kMissingDemoPicture, {kDemoPicture, FolderList(folders)}));
    }
    const std::filesystem::path demo = *found == "." ? kDemoPicture : *found / kDemoPicture;
    try {
        SetSourcePicture(pictures::LoadPicture(demo));
    } catch (const std::exception& error) {  // which file, beside libjpeg's code
        throw std::runtime_error(texts::UnreadablePicture(demo, error));
    }
}

// The working folder's demo picture wins; else the copy beside the program (a portable
// folder started from elsewhere), else an installed panel's own copy.
std::vector<std::filesystem::path> Panel::DemoPictureFolders() const {
    std::vector<std::filesystem::path> folders = {"."};
    if (!m_start.program_folder.empty()) {
        folders.push_back(m_start.program_folder);
        folders.push_back(m_start.program_folder / ".." / "share" / "lcdpanel");
    }
    return folders;
}

void Panel::SavePreview(const std::filesystem::path& path) {
    if (m_frame.empty()) {
        throw std::runtime_error(std::string(texts::kNoPreviewYet));
    }
    const std::vector<std::uint8_t> png = pictures::EncodeFramePng(m_frame);
    if (png.empty()) {
        throw std::runtime_error(std::string(texts::kPreviewNotEncoded));
    }
    Save(path, png);
}

void Panel::SaveLog(const std::filesystem::path& path) {
    const std::string text = m_log.Text();
    Save(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

void Panel::ChooseAndOpenPicture() {
    if (const auto path = m_view.ChooseFile(FilePrompt::OpenPicture)) {
        OpenPictureFile(*path);
    }
}

void Panel::ChooseAndSavePreview() {
    if (const auto path = m_view.ChooseFile(FilePrompt::SavePreview)) {
        SavePreview(*path);
    }
}

void Panel::ChooseAndSaveLog() {
    if (const auto path = m_view.ChooseFile(FilePrompt::SaveLog)) {
        SaveLog(*path);
    }
}

}  // namespace panel

// The panel's additions beyond its layout: pictures from files (dropped, opened or named
// at start), and saving the preview and the log.
#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "app/panel.h"
#include "imaging/jpeg_error.h"
#include "imaging/picture_file.h"
#include "imaging/picture_registry.h"
#include "imaging/screen_scaler.h"
#include "pictures/picture_files.h"

namespace panel {

namespace {

[[noreturn]] void CannotWrite(const std::filesystem::path& path) {
    throw std::runtime_error("Cannot write \"" + imaging::PathText(path) + "\"");
}

// "/a, /b or /c", the working folder by its full name.
std::string FolderList(const std::vector<std::filesystem::path>& folders) {
    std::string list;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        std::error_code error;
        const std::filesystem::path shown =
            folders[i] == "." ? std::filesystem::current_path(error) : folders[i];
        list += (i == 0 ? "" : i + 1 == folders.size() ? " or " : ", ") + imaging::PathText(shown);
    }
    return list;
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
    } catch (const imaging::EPictureFile&) {
        throw;  // names the file already
    } catch (const std::exception& error) {
        throw imaging::EPictureFile(path, error.what());
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
        throw imaging::EPictureFile(kDemoPicture,
                                    "No such file or directory in " + FolderList(folders));
    }
    const std::filesystem::path demo = *found == "." ? kDemoPicture : *found / kDemoPicture;
    try {
        SetSourcePicture(imaging::LoadPictureFromFile(demo));
    } catch (const imaging::EJPEG& broken) {
        throw imaging::EPictureFile(demo, broken.what());  // which file, beside libjpeg's code
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
        throw std::runtime_error("There is no preview to save yet");
    }
    pictures::SaveFramePng(m_frame, path);
}

void Panel::SaveLog(const std::filesystem::path& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string text = m_log.Text();
    if (!file || !file.write(text.data(), static_cast<std::streamsize>(text.size())) ||
        !file.flush()) {
        CannotWrite(path);
    }
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

// The window's additions beyond its layout: context menus, dropped files, file dialogs and
// message boxes. Each forwards to the panel, which does the work.
#include <windows.h>
// after windows.h, which they need
#include <commdlg.h>
#include <shellapi.h>

#include <array>
#include <cwchar>
#include <string>

#include "app/win32/form1.h"
#include "app/win32/wide_text.h"
#include "pictures/picture_formats.h"

namespace win32ui {

namespace {

using imaging::DitherMethod;

enum MenuCommand : UINT {
    kOpenPicture = 1,
    kSavePreview,
    kSaveLog,
    kCopy,
    kSelectAll,
    kFirstDither,  // one per binarization, in the order of kDithers
};

const std::array<std::pair<const wchar_t*, std::optional<DitherMethod>>, 4> kDithers = {{
    {L"阈值", std::nullopt},
    {L"Floyd–Steinberg", DitherMethod::FloydSteinberg},
    {L"Atkinson", DitherMethod::Atkinson},
    {L"Bayer 8×8", DitherMethod::Bayer8},
}};

constexpr wchar_t kTitle[] = L"Velnor串口液晶屏模块V1.0";

// A menu opened from the keyboard comes at (-1, -1): it opens at the control instead.
POINT MenuPoint(HWND control, POINT at) {
    if (at.x != -1 || at.y != -1) {
        return at;
    }
    RECT bounds;
    GetWindowRect(control, &bounds);
    return {bounds.left + 8, bounds.top + 8};
}

HMENU BinarizationMenu(std::optional<DitherMethod> chosen) {
    const HMENU menu = CreatePopupMenu();
    for (UINT i = 0; i < kDithers.size(); ++i) {
        AppendMenuW(menu, MF_STRING, kFirstDither + i, kDithers[i].first);
        if (kDithers[i].second == chosen) {
            CheckMenuRadioItem(menu, kFirstDither, kFirstDither + kDithers.size() - 1,
                               kFirstDither + i, MF_BYCOMMAND);
        }
    }
    return menu;
}

// Pairs of a name and its patterns, each ended by a NUL, and one more NUL at the end (the
// string's own).
std::wstring PictureFilter() {
    using namespace std::string_literals;
    std::wstring filter = L"图片\0"s;
    filter += Widen(pictures::DialogPatterns(";"));
    filter += L"\0所有文件 (*)\0*.*\0"s;
    return filter;
}

}  // namespace

void TForm1::OnContextMenu(HWND control, POINT at) {
    if (control == m_image1->Handle() || control == m_image2->Handle()) {
        ShowPictureMenu(control == m_image1->Handle(), MenuPoint(control, at));
    }
}

void TForm1::ShowPictureMenu(bool source, POINT at) {
    const HMENU menu = CreatePopupMenu();
    if (source) {
        AppendMenuW(menu, MF_STRING, kOpenPicture, L"打开图片…");
    }
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(BinarizationMenu(m_panel->Dither())),
                L"二值化方式");
    if (!source) {
        AppendMenuW(menu, MF_STRING | (m_panel->HasPreview() ? 0 : MF_GRAYED), kSavePreview,
                    L"保存预览…");
    }
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (chosen == kOpenPicture) {
        Forward(&panel::Panel::ChooseAndOpenPicture);
    } else if (chosen == kSavePreview) {
        Forward(&panel::Panel::ChooseAndSavePreview);
    } else if (chosen >= kFirstDither && chosen < kFirstDither + kDithers.size()) {
        m_panel->SetDither(kDithers[chosen - kFirstDither].second);
    }
}

void TForm1::ShowLogMenu(POINT at) {
    const HWND memo = Control(panel::window::kLog);
    at = MenuPoint(memo, at);
    const HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kCopy, L"复制");
    AppendMenuW(menu, MF_STRING, kSelectAll, L"全选");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kSaveLog, L"保存日志…");
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (chosen == kCopy) {
        SendMessageW(memo, WM_COPY, 0, 0);
    } else if (chosen == kSelectAll) {
        SendMessageW(memo, EM_SETSEL, 0, -1);
    } else if (chosen == kSaveLog) {
        Forward(&panel::Panel::ChooseAndSaveLog);
    }
}

// The first of the dropped files is opened.
void TForm1::OnDropFiles(HDROP drop) {
    std::wstring path;
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length > 0) {
        path.resize(length + 1);
        path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
    }
    DragFinish(drop);
    if (!path.empty()) {
        const std::filesystem::path file(path);
        m_panel->Run([this, &file] { m_panel->OpenPictureFile(file); });
    }
}

namespace {

// What each file prompt offers: its title, default name, filter and extension.
struct FileDialog {
    const wchar_t* title;
    const wchar_t* name;
    std::wstring filter;
    const wchar_t* extension;
    bool save;
};

FileDialog DialogFor(panel::FilePrompt prompt) {
    switch (prompt) {
        case panel::FilePrompt::SavePreview:
            return {L"保存预览", L"preview.png", std::wstring(L"PNG (*.png)\0*.png\0", 18), L"png",
                    true};
        case panel::FilePrompt::SaveLog:
            return {L"保存日志", L"log.txt", std::wstring(L"文本 (*.txt)\0*.txt\0", 17), L"txt",
                    true};
        case panel::FilePrompt::OpenPicture:
            break;
    }
    return {L"打开图片", L"", PictureFilter(), nullptr, false};
}

}  // namespace

std::optional<std::filesystem::path> TForm1::ChooseFile(panel::FilePrompt prompt) {
    const FileDialog kind = DialogFor(prompt);
    std::wstring file(MAX_PATH * 4, L'\0');
    file.replace(0, std::wcslen(kind.name), kind.name);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_window;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFilter = kind.filter.c_str();
    dialog.lpstrDefExt = kind.extension;
    dialog.lpstrTitle = kind.title;
    dialog.Flags = OFN_NOCHANGEDIR | OFN_EXPLORER |
                   (kind.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    const BOOL chosen = kind.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        return std::nullopt;
    }
    return std::filesystem::path(file.c_str());
}

void TForm1::ShowMessage(std::string_view text) {
    MessageBoxW(m_window, Widen(text).c_str(), kTitle, MB_OK | MB_ICONINFORMATION);
}

void TForm1::ShowException(std::string_view text) {
    MessageBoxW(m_window, Widen(text).c_str(), kTitle, MB_OK | MB_ICONERROR);
}

}  // namespace win32ui

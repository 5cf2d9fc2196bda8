// The window's additions beyond its layout: context menus, dropped files, file dialogs and
// message boxes. Each forwards to the panel, which does the work.
#include <windows.h>
// after windows.h, which they need
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "app/win32/form1.h"
#include "app/win32/wide_text.h"
#include "pictures/picture_formats.h"

namespace win32ui {

namespace {

namespace window = panel::window;

// The editing entries first, then the declared ones, then the binarization choices.
enum MenuCommand : UINT {
    kCopy = 1,
    kSelectAll,
    kFirstEntry,
    kFirstDither = kFirstEntry + 16,
};

// A menu opened from the keyboard comes at (-1, -1): it opens at the control instead.
POINT MenuPoint(HWND control, POINT at) {
    if (at.x != -1 || at.y != -1) {
        return at;
    }
    RECT bounds;
    GetWindowRect(control, &bounds);
    return {bounds.left + 8, bounds.top + 8};
}

HMENU BinarizationMenu(std::optional<imaging::DitherMethod> chosen) {
    const HMENU menu = CreatePopupMenu();
    const auto& choices = imaging::kBinarizationChoices;
    for (UINT i = 0; i < choices.size(); ++i) {
        AppendMenuW(menu, MF_STRING, kFirstDither + i, Widen(choices[i].title).c_str());
        if (choices[i].method == chosen) {
            CheckMenuRadioItem(menu, kFirstDither, kFirstDither + choices.size() - 1,
                               kFirstDither + i, MF_BYCOMMAND);
        }
    }
    return menu;
}

// Pairs of a name and its patterns, each ended by a NUL, and one more NUL at the end (the
// string's own). The open prompt's pictures come with a filter for any file.
std::wstring FilterOf(const window::FileDialogText& dialog) {
    using namespace std::string_literals;
    std::wstring filter = Widen(dialog.filter_name);
    if (dialog.pattern.empty()) {
        filter += L"\0"s;
        filter += Widen(pictures::DialogPatterns(";"));
        filter += L"\0"s;
        filter += Widen(window::PanelWindow().all_files);
        filter += L" (*)\0*.*\0"s;
        return filter;
    }
    const std::wstring pattern = Widen(dialog.pattern);
    filter += L" (";
    filter += pattern;
    filter += L")\0"s;
    filter += pattern;
    filter += L"\0"s;
    return filter;
}

}  // namespace

void TForm1::OnContextMenu(HWND control, POINT at) {
    const window::Control* declared = DeclaredControl(GetDlgCtrlID(control));
    if (declared != nullptr && window::MenuOf(declared->name) != nullptr) {
        ShowContextMenu(declared->name, at);
    }
}

void TForm1::ShowContextMenu(std::string_view name, POINT at) {
    const window::ContextMenu& declared = *window::MenuOf(name);
    const HWND control = Control(name);
    at = MenuPoint(control, at);
    const HMENU menu = CreatePopupMenu();
    if (declared.after_editing_entries) {
        AppendMenuW(menu, MF_STRING, kCopy, L"复制");
        AppendMenuW(menu, MF_STRING, kSelectAll, L"全选");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    for (UINT i = 0; i < declared.entries.size(); ++i) {
        const window::MenuEntry& entry = declared.entries[i];
        if (entry.caption.empty()) {
            AppendMenuW(menu, MF_POPUP,
                        reinterpret_cast<UINT_PTR>(BinarizationMenu(m_panel->Dither())),
                        Widen(window::PanelWindow().binarization_menu).c_str());
            continue;
        }
        const bool grayed = entry.needs_preview && !m_panel->HasPreview();
        AppendMenuW(menu, MF_STRING | (grayed ? MF_GRAYED : 0), kFirstEntry + i,
                    Widen(entry.caption).c_str());
    }
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (chosen == kCopy) {
        SendMessageW(control, WM_COPY, 0, 0);
    } else if (chosen == kSelectAll) {
        SendMessageW(control, EM_SETSEL, 0, -1);
    } else if (chosen >= kFirstDither &&
               chosen < kFirstDither + imaging::kBinarizationChoices.size()) {
        m_panel->SetDither(imaging::kBinarizationChoices[chosen - kFirstDither].method);
    } else if (chosen >= kFirstEntry && chosen < kFirstEntry + declared.entries.size()) {
        Forward(declared.entries[chosen - kFirstEntry].handler);
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

std::optional<std::filesystem::path> TForm1::ChooseFile(panel::FilePrompt prompt) {
    const window::FileDialogText& kind = window::FileDialogFor(prompt);
    const std::wstring title = Widen(kind.title);
    const std::wstring filter = FilterOf(kind);
    const std::wstring extension = Widen(kind.extension);
    std::wstring file(MAX_PATH * 4, L'\0');
    const std::wstring name = Widen(kind.default_name);
    file.replace(0, name.size(), name);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_window;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_NOCHANGEDIR | OFN_EXPLORER |
                   (kind.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    const BOOL chosen = kind.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        return std::nullopt;
    }
    return std::filesystem::path(file.c_str());
}

void TForm1::ShowMessage(std::string_view text) {
    MessageBoxW(m_window, Widen(text).c_str(), Widen(window::PanelWindow().caption).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void TForm1::ShowException(std::string_view text) {
    MessageBoxW(m_window, Widen(text).c_str(), Widen(window::PanelWindow().caption).c_str(),
                MB_OK | MB_ICONERROR);
}

}  // namespace win32ui

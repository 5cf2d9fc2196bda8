#include <windows.h>
// after windows.h, which they need
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/start_arguments.h"
#include "app/win32/form1.h"
#include "app/win32/wide_text.h"
#include "app/window_declaration.h"
#include "imaging/jpeg_image.h"
#include "serial/serial_platform.h"

namespace {

std::wstring Title() {
    return win32ui::Widen(panel::window::PanelWindow().caption);
}

// The words after the program's name, in UTF-8; a launcher's stray ones are warned about.
panel::StartArguments ParseCommandLine() {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> narrow;
    for (int i = 1; i < count; ++i) narrow.push_back(win32ui::Narrow(words[i]));
    LocalFree(words);
    panel::StartArguments arguments = panel::ParseStartArguments(narrow);
    for (const std::string& warning : arguments.warnings) {
        std::fprintf(stderr, "%s\n", warning.c_str());
    }
    return arguments;
}

std::filesystem::path ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

// JPEG pictures decode at the screen's depth: 8 bits on a palette screen, else 24.
void ComputeJpegDepthFromScreen() {
    const HDC screen = GetDC(nullptr);
    const int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    imaging::ComputeDefaultJPEGDepth(depth > 0 ? std::optional<int>(depth) : std::nullopt);
}

int RunMessageLoop(HWND window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}

int RunPanel(HINSTANCE instance, int show) {
    const panel::StartArguments arguments = ParseCommandLine();
    if (arguments.help) {
        MessageBoxW(nullptr, win32ui::Widen(panel::kStartUsage).c_str(), Title().c_str(),
                    MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    ComputeJpegDepthFromScreen();
    const auto platform = serial::MakeNativeSerialPlatform();
    win32ui::TForm1 Form1(
        instance, *platform,
        {std::filesystem::path(win32ui::Widen(arguments.picture)), ProgramFolder()});
    Form1.Show(show);
    if (!arguments.port.empty()) {
        Form1.Panel().ApplyPortArgument(arguments.port);
    }
    RunMessageLoop(Form1.Handle());
    return 0;
}

}  // namespace

// Whatever escapes the start-up or the loop is shown, and the program still ends with 0.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    try {
        return RunPanel(instance, show);
    } catch (const std::exception& error) {
        MessageBoxW(nullptr, win32ui::Widen(error.what()).c_str(), Title().c_str(),
                    MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(nullptr, L"", Title().c_str(), MB_OK | MB_ICONERROR);
    }
    return 0;
}

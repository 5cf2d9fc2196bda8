#include <windows.h>
// after windows.h, which they need
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/win32/form1.h"
#include "app/win32/wide_text.h"
#include "imaging/jpeg_image.h"
#include "serial/serial_platform.h"

namespace {

constexpr wchar_t kTitle[] = L"Velnor串口液晶屏模块V1.0";
constexpr wchar_t kUsage[] =
    L"lcdpanel [--port NAME] [FILE]\n\n"
    L"Control panel for the serial LCD module.\n\n"
    L"  --port NAME  Put NAME (COM3, say) into the port field, ready to open.\n"
    L"  FILE         A picture to show in place of the demo picture.";

struct StartArguments {
    std::wstring port;
    std::wstring picture;
    bool help = false;
};

// Two additions for the shell and the desktop: a port to open, and a picture file to show
// in place of the demo picture. A launcher may pass more than we know: that is worth a
// warning, not a panel that never opens.
StartArguments ParseStartArguments() {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    StartArguments arguments;
    std::vector<std::wstring> files;
    for (int i = 1; i < count; ++i) {
        const std::wstring word = words[i];
        if (word == L"--help" || word == L"-h" || word == L"/?") {
            arguments.help = true;
        } else if (word == L"--port" && i + 1 < count) {
            arguments.port = words[++i];
        } else if (word.rfind(L"--port=", 0) == 0) {
            arguments.port = word.substr(7);
        } else if (word.size() > 1 && word[0] == L'-') {
            std::fprintf(stderr, "lcdpanel: unknown option %s (ignored)\n",
                         win32ui::Narrow(word).c_str());
        } else {
            files.push_back(word);
        }
    }
    LocalFree(words);
    if (files.size() > 1) {
        std::fprintf(stderr, "lcdpanel: only one picture is shown; %s and the rest are ignored\n",
                     win32ui::Narrow(files[1]).c_str());
    }
    if (!files.empty()) {
        arguments.picture = files.front();
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
    const StartArguments arguments = ParseStartArguments();
    if (arguments.help) {
        MessageBoxW(nullptr, kUsage, kTitle, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    ComputeJpegDepthFromScreen();
    const auto platform = serial::MakeNativeSerialPlatform();
    win32ui::TForm1 Form1(instance, *platform, {arguments.picture, ProgramFolder()});
    Form1.Show(show);
    if (!arguments.port.empty()) {
        Form1.Panel().ApplyPortArgument(win32ui::Narrow(arguments.port));
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
        MessageBoxW(nullptr, win32ui::Widen(error.what()).c_str(), kTitle, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(nullptr, L"", kTitle, MB_OK | MB_ICONERROR);
    }
    return 0;
}

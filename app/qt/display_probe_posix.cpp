#include "app/qt/display_probe.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string_view>

namespace {

bool NamesPlatform(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-platform" || argument == "--platform" ||
            argument.starts_with("-platform=") || argument.starts_with("--platform=")) {
            return true;
        }
    }
    return false;
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Connects to the X display the way the toolkit's X plugin does, through libxcb, loaded
// only for the question: where libxcb is missing the toolkit could not use X either, and
// is left to say so itself.
std::optional<bool> XDisplayAnswers(const char* display) {
    void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) {
        return std::nullopt;
    }
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto has_error = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    std::optional<bool> answers;
    if (connect != nullptr && has_error != nullptr && disconnect != nullptr) {
        void* connection = connect(display, nullptr);
        answers = connection != nullptr && has_error(connection) == 0;
        if (connection != nullptr) {
            disconnect(connection);
        }
    }
    ::dlclose(xcb);
    return answers;
}

}  // namespace

std::optional<std::string> DisplayProblem(int argc, char** argv) {
    if (IsSet("QT_QPA_PLATFORM") || NamesPlatform(argc, argv) || IsSet("WAYLAND_DISPLAY")) {
        return std::nullopt;
    }
    if (!IsSet("DISPLAY")) {
        return "lcdpanel: no display to show the window on: DISPLAY is not set";
    }
    const char* display = std::getenv("DISPLAY");
    if (XDisplayAnswers(display) == false) {
        return std::string("lcdpanel: cannot connect to the display DISPLAY=") + display;
    }
    return std::nullopt;
}

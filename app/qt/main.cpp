#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "app/qt/display_probe.h"
#include "app/qt/message_boxes.h"
#include "app/qt/panel_main.h"
#include "app/window_declaration.h"

// Whatever escapes the start-up or the loop is shown, and the program still ends with 0.
int main(int argc, char** argv) {
    // Neither the usage nor a missing display needs the toolkit, which aborts without one.
    if (AsksForHelp(argc, argv)) {
        ShowUsage();
    }
    if (const std::optional<std::string> problem = DisplayProblem(argc, argv)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    QApplication app(argc, argv);
    const std::string_view caption = panel::window::PanelWindow().caption;
    QApplication::setApplicationDisplayName(
        QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    // The desktop matches the window to its entry and icon by these, Wayland included.
    QGuiApplication::setDesktopFileName(QStringLiteral("lcdpanel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("lcdpanel")));
    ModalMessageBoxes boxes;
    try {
        return RunPanel(app, boxes);
    } catch (const std::exception& error) {
        boxes.SetOwner(nullptr);
        boxes.ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        boxes.SetOwner(nullptr);
        boxes.ShowException(QString());
    }
    return 0;
}

#include <QApplication>
#include <QIcon>

#include <exception>

#include "app/qt/message_boxes.h"
#include "app/qt/panel_main.h"

// Whatever escapes the start-up or the loop is shown, and the program still ends with 0.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Velnor串口液晶屏模块V1.0"));
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

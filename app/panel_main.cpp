#include "app/panel_main.h"

#include <QApplication>
#include <QCommandLineParser>

#include "app/clipboard_source.h"
#include "app/form1.h"
#include "app/message_boxes.h"
#include "app/picture_types.h"
#include "serial/serial_platform.h"

namespace {

// One addition for serial tools' habit of naming the device on the command line.
QString PortArgument(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control panel for the serial LCD module"));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Put NAME into the port field, ready to open."),
                                  QStringLiteral("NAME"));
    parser.addOption(port);
    parser.process(app);
    return parser.value(port);
}

}  // namespace

int RunPanel(QApplication& app, ModalMessageBoxes& boxes,
             const std::function<void(TForm1&)>& on_shown) {
    RegisterPictureTypes();
    const QString port = PortArgument(app);
    const auto platform = serial::MakeNativeSerialPlatform();
    SystemClipboard clipboard;
    TForm1 Form1(*platform, boxes, clipboard);
    boxes.SetOwner(&Form1);
    Form1.show();
    if (!port.isEmpty()) {
        Form1.ApplyPortArgument(port);
    }
    if (on_shown) {
        on_shown(Form1);
    }
    app.exec();
    UnregisterPictureTypes();
    return 0;
}

#include "app/panel_main.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#include "app/clipboard_source.h"
#include "app/form1.h"
#include "app/message_boxes.h"
#include "app/picture_types.h"
#include "serial/serial_platform.h"

namespace {

// One addition for serial tools' habit of naming the device on the command line. A
// launcher may pass more than we know: that is worth a warning, not a panel that never
// opens.
QString PortArgument() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control panel for the serial LCD module"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Put NAME into the port field, ready to open."),
                                  QStringLiteral("NAME"));
    parser.addOption(port);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "lcdpanel: %s (ignored)\n", qPrintable(parser.errorText()));
    }
    if (parser.isSet(help)) {
        parser.showHelp(0);
    }
    return parser.value(port);
}

}  // namespace

int RunPanel(QApplication& app, ModalMessageBoxes& boxes,
             const std::function<void(TForm1&)>& on_shown) {
    RegisterPictureTypes();
    const QString port = PortArgument();
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

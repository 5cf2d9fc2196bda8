#include "app/qt/panel_main.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#include "app/qt/form1.h"
#include "app/qt/message_boxes.h"
#include "app/qt/picture_types.h"
#include "app/qt/system_clipboard.h"
#include "serial/serial_platform.h"

namespace {

struct StartArguments {
    QString port;
    QString picture;
};

// Two additions for the shell and the desktop: a port to open, and a picture file to show
// in place of the demo picture. A launcher may pass more than we know: that is worth a
// warning, not a panel that never opens.
StartArguments ParseStartArguments() {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control panel for the serial LCD module"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Put NAME into the port field, ready to open."),
                                  QStringLiteral("NAME"));
    parser.addOption(port);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A picture to show in place of the demo picture."),
                                 QStringLiteral("[FILE]"));
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "lcdpanel: %s (ignored)\n", qPrintable(parser.errorText()));
    }
    if (parser.isSet(help)) {
        parser.showHelp(0);
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "lcdpanel: only one picture is shown; %s and the rest are ignored\n",
                     qPrintable(files[1]));
    }
    return {parser.value(port), files.value(0)};
}

}  // namespace

int RunPanel(QApplication& app, ModalMessageBoxes& boxes,
             const std::function<void(TForm1&)>& on_shown) {
    RegisterPictureTypes();
    const StartArguments arguments = ParseStartArguments();
    const auto platform = serial::MakeNativeSerialPlatform();
    SystemClipboard clipboard;
    const panel::StartPicture start = {
        std::filesystem::path(arguments.picture.toStdU16String()),
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String())};
    TForm1 Form1(*platform, boxes, clipboard, start);
    boxes.SetOwner(&Form1);
    Form1.show();
    if (!arguments.port.isEmpty()) {
        Form1.Panel().ApplyPortArgument(arguments.port.toStdString());
    }
    if (on_shown) {
        on_shown(Form1);
    }
    app.exec();
    UnregisterPictureTypes();
    return 0;
}

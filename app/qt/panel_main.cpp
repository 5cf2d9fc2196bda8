#include "app/qt/panel_main.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <string_view>

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
const QCommandLineOption kPortOption(QStringLiteral("port"),
                                     QStringLiteral("Put NAME into the port field, ready to open."),
                                     QStringLiteral("NAME"));

void DescribeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral("Control panel for the serial LCD module"));
    parser.addHelpOption();
    parser.addOption(kPortOption);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A picture to show in place of the demo picture."),
                                 QStringLiteral("[FILE]"));
}

// The usage was printed before the toolkit started, so a help option here is only one
// among the rest.
StartArguments ParseStartArguments() {
    QCommandLineParser parser;
    DescribeOptions(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "lcdpanel: %s (ignored)\n", qPrintable(parser.errorText()));
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "lcdpanel: only one picture is shown; %s and the rest are ignored\n",
                     qPrintable(files[1]));
    }
    return {parser.value(kPortOption), files.value(0)};
}

}  // namespace

bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            return false;
        }
        if (argument == "-h" || argument == "-?" || argument == "--help" ||
            argument == "--help-all") {
            return true;
        }
    }
    return false;
}

void ShowUsage(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    DescribeOptions(parser);
    parser.showHelp(0);
}

int RunPanel(QApplication& app, ModalMessageBoxes& boxes,
             const std::function<void(TForm1&)>& on_shown) {
    ComputeJpegDepthFromScreen();
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
    return 0;
}

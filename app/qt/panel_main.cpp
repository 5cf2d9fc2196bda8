#include "app/qt/panel_main.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/qt/form1.h"
#include "app/qt/message_boxes.h"
#include "app/qt/picture_types.h"
#include "app/qt/system_clipboard.h"
#include "app/start_arguments.h"
#include "serial/serial_platform.h"

namespace {

std::vector<std::string> WordsAfterTheProgram(const QStringList& arguments) {
    std::vector<std::string> words;
    for (qsizetype i = 1; i < arguments.size(); ++i) words.push_back(arguments[i].toStdString());
    return words;
}

// The usage was printed before the toolkit started, so a help option here is only one
// among the rest.
panel::StartArguments ParseCommandLine() {
    panel::StartArguments arguments =
        panel::ParseStartArguments(WordsAfterTheProgram(QCoreApplication::arguments()));
    for (const std::string& warning : arguments.warnings) {
        std::fprintf(stderr, "%s\n", warning.c_str());
    }
    return arguments;
}

std::filesystem::path PathOf(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

}  // namespace

bool AsksForHelp(int argc, char** argv) {
    return panel::ParseStartArguments(
               std::vector<std::string>(argv + std::min(argc, 1), argv + argc))
        .help;
}

void ShowUsage() {
    std::fputs(std::string(panel::kStartUsage).c_str(), stdout);
    std::fflush(stdout);
    std::exit(0);
}

int RunPanel(QApplication& app, ModalMessageBoxes& boxes,
             const std::function<void(TForm1&)>& on_shown) {
    ComputeJpegDepthFromScreen();
    const panel::StartArguments arguments = ParseCommandLine();
    const auto platform = serial::MakeNativeSerialPlatform();
    SystemClipboard clipboard;
    const panel::StartPicture start = {PathOf(QString::fromStdString(arguments.picture)),
                                       PathOf(QCoreApplication::applicationDirPath())};
    TForm1 Form1(*platform, boxes, clipboard, start);
    boxes.SetOwner(&Form1);
    Form1.show();
    if (!arguments.port.empty()) {
        Form1.Panel().ApplyPortArgument(arguments.port);
    }
    if (on_shown) {
        on_shown(Form1);
    }
    app.exec();
    return 0;
}

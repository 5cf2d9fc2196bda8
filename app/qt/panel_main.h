#pragma once

#include <functional>

class QApplication;
class ModalMessageBoxes;
class TForm1;

// Whether the command line asks for the usage (-h, -?, --help or --help-all), whatever else
// it holds.
bool AsksForHelp(int argc, char** argv);
// Prints the usage and ends the program with 0; needs no window system.
[[noreturn]] void ShowUsage();

// Start-up after the application object: the picture types, the window, the event loop.
// `on_shown` runs once the window is shown (for instruments; the panel needs none).
int RunPanel(QApplication& app, ModalMessageBoxes& boxes,
             const std::function<void(TForm1&)>& on_shown = {});

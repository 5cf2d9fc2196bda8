#pragma once

#include <functional>

class QApplication;
class ModalMessageBoxes;
class TForm1;

// Start-up after the application object: the picture types, the window, the event loop.
// `on_shown` runs once the window is shown (for instruments; the panel needs none).
int RunPanel(QApplication& app, ModalMessageBoxes& boxes,
             const std::function<void(TForm1&)>& on_shown = {});

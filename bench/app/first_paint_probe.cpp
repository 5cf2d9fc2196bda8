// The panel's own start-up, reporting the monotonic time at which the picture first
// painted, then quitting. The benchmark starts it and reads that time.
#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>

#include "app/qt/form1.h"
#include "app/qt/message_boxes.h"
#include "app/qt/panel_main.h"

namespace {

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Queued: runs once this paint, with the picture's decode, is over.
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("%lld\n",
                            static_cast<long long>(
                                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
                QApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ModalMessageBoxes boxes;
    FirstPaint probe;
    return RunPanel(app, boxes, [&](TForm1& form) {
        form.findChild<QWidget*>("Image1")->installEventFilter(&probe);
    });
}

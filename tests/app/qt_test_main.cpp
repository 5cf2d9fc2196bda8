#include <gtest/gtest.h>

#include <QApplication>

#include "app/qt/picture_types.h"

// Widget tests need the application object; the offscreen platform needs no display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ComputeJpegDepthFromScreen();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

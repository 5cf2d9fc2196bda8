#include "app/qt/window_look.h"

#include <QPalette>
#include <QWidget>

namespace look {

// The layout is in pixels, so the font is too. Where the classic face is missing, a face
// with the Chinese glyphs stands in.
QFont PanelFont(const QString& face, int pixels) {
    QFont font;
    font.setFamilies({face, QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("SimSun"), QStringLiteral("sans-serif")});
    font.setPixelSize(pixels);
    return font;
}

void MakeFixedDialog(QWidget* window, int client_width, int client_height, int left, int top) {
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(client_width, client_height);
    window->move(left, top);
}

void PaintBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

}  // namespace look

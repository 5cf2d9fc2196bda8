#include "app/qt/window_look.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace look {

namespace {

template <typename Widget>
Widget* Place(Widget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

}  // namespace

// 8 point at 96 dpi is 11 pixels; the layout is in pixels, so the font is too. Where the
// classic face is missing, a face with the Chinese glyphs stands in.
QFont PanelFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("SimSun"), QStringLiteral("sans-serif")});
    font.setPixelSize(11);
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

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const QString& title, QRect geometry) {
    return Place(new QGroupBox(title, parent), name, geometry);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    return Place(new QLabel(text, parent), name, geometry);
}

// Editable, and typing never adds to the list.
QComboBox* MakeComboBox(QWidget* parent, const char* name, QRect geometry) {
    auto* combo = Place(new QComboBox(parent), name, geometry);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = Place(new QPushButton(caption, parent), name, geometry);
    button->setAutoDefault(false);
    return button;
}

}  // namespace look

#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

// The classic dialog look the panel keeps: fixed geometry in pixels, a light green ground
// and a small sans font, whatever the platform's style.
namespace look {

inline const QColor kMoneyGreen(192, 220, 192);
inline const QColor k3DDkShadow(105, 105, 105);

QFont PanelFont();
void MakeFixedDialog(QWidget* window, int client_width, int client_height, int left, int top);
void PaintBackground(QWidget* widget, const QColor& color);
void SetTextColor(QWidget* widget, const QColor& color);

QGroupBox* MakeGroupBox(QWidget* parent, const char* name, const QString& title, QRect geometry);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry);
QComboBox* MakeComboBox(QWidget* parent, const char* name, QRect geometry);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry);

}  // namespace look

#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

// The classic dialog look the panel keeps, whatever the platform's style: fixed geometry in
// pixels, a ground of its own colour and a small font.
namespace look {

QFont PanelFont(const QString& face, int pixels);
void MakeFixedDialog(QWidget* window, int client_width, int client_height, int left, int top);
void PaintBackground(QWidget* widget, const QColor& color);
void SetTextColor(QWidget* widget, const QColor& color);

}  // namespace look

#include "app/qt/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QString Title() {
    return QApplication::applicationDisplayName();
}

}  // namespace

void ModalMessageBoxes::ShowMessage(const QString& text) {
    QMessageBox::information(m_owner, Title(), text);
}

void ModalMessageBoxes::ShowException(const QString& text) {
    QMessageBox::critical(m_owner, Title(), text);
}

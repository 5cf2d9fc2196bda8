#pragma once

#include <QString>

class QWidget;

// The window's message boxes, behind a seam so tests can read what would be shown.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // The program's own notice, with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // An error that ended an action.
    virtual void ShowException(const QString& text) = 0;
};

// Modal boxes over `owner`, as an operator sees them.
class ModalMessageBoxes final : public MessageBoxes {
public:
    explicit ModalMessageBoxes(QWidget* owner = nullptr) : m_owner(owner) {}
    void SetOwner(QWidget* owner) { m_owner = owner; }
    void ShowMessage(const QString& text) override;
    void ShowException(const QString& text) override;

private:
    QWidget* m_owner;
};

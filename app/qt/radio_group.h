#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A titled group of radio buttons laid out in columns, with no item chosen at first.
// Clicked() reports a choice the operator made, not one made by the program.
class TRadioGroup : public QGroupBox {
    Q_OBJECT

public:
    TRadioGroup(QWidget* parent, const QString& title, const QStringList& items, int columns);

    // The chosen item's index, or -1 while nothing is chosen.
    int ItemIndex() const;
    QRadioButton* Button(int index) const;

signals:
    void Clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ArrangeButtons();

    QButtonGroup* m_group;
    QList<QRadioButton*> m_buttons;
    int m_columns;
};

#include "app/qt/radio_group.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QRadioButton>

TRadioGroup::TRadioGroup(QWidget* parent, const QString& title, const QStringList& items,
                         int columns)
    : QGroupBox(title, parent), m_group(new QButtonGroup(this)), m_columns(columns) {
    m_group->setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        m_group->addButton(button, i);
        m_buttons.append(button);
    }
    connect(m_group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) {
            emit Clicked();
        }
    });
}

int TRadioGroup::ItemIndex() const {
    return m_group->checkedId();
}

QRadioButton* TRadioGroup::Button(int index) const {
    return m_buttons.value(index);
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    ArrangeButtons();
}

// Columns of equal width below the caption, items running down each column first.
void TRadioGroup::ArrangeButtons() {
    if (m_buttons.isEmpty()) {
        return;
    }
    const int text_height = QFontMetrics(font()).height();
    const int per_column = (static_cast<int>(m_buttons.size()) + m_columns - 1) / m_columns;
    const int column_width = (width() - 10) / m_columns;
    const int room = height() - text_height - 5;
    const int button_height = room / per_column;
    const int top = text_height + 1 + (room % per_column) / 2;
    for (int i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i]->setGeometry((i / per_column) * column_width + 8,
                                  (i % per_column) * button_height + top, column_width,
                                  button_height);
    }
}

#include "RadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>

namespace q48 {

RadioGroup::RadioGroup(QWidget *parent) : QGroupBox(parent), m_grid(new QGridLayout(this))
{
    m_grid->setContentsMargins(6, 2, 6, 2);
    m_grid->setHorizontalSpacing(4);
    m_grid->setVerticalSpacing(0);
    m_buttons.setExclusive(true);
    connect(&m_buttons, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
    connect(&m_buttons, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on) {
            m_wantedIndex = id;
            emit itemIndexChanged(id);
        }
    });
}

void RadioGroup::setItems(const QStringList &items)
{
    m_items = items;
    rebuild();
}

void RadioGroup::setColumns(int columns)
{
    m_columns = qMax(1, columns);
    rebuild();
}

int RadioGroup::itemIndex() const
{
    return m_buttons.checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    // Kept for later too: forms set the index before the (translatable) items arrive.
    m_wantedIndex = index;
    if (QAbstractButton *b = m_buttons.button(index)) {
        b->setChecked(true);
        return;
    }
    // Exclusive groups refuse to uncheck the last button, so lift that for a moment.
    if (QAbstractButton *checked = m_buttons.checkedButton()) {
        m_buttons.setExclusive(false);
        checked->setChecked(false);
        m_buttons.setExclusive(true);
        emit itemIndexChanged(-1);
    }
}

void RadioGroup::rebuild()
{
    const int wanted = m_wantedIndex;
    for (QAbstractButton *b : m_buttons.buttons()) {
        m_buttons.removeButton(b);
        delete b;
    }
    for (int i = 0; i < m_items.size(); ++i) {
        auto *radio = new QRadioButton(m_items.at(i), this);
        m_buttons.addButton(radio, i);
        m_grid->addWidget(radio, i / m_columns, i % m_columns);
    }
    for (int c = 0; c < m_columns; ++c)
        m_grid->setColumnStretch(c, 1);
    if (wanted >= 0 && wanted < m_items.size())
        m_buttons.button(wanted)->setChecked(true);
    m_wantedIndex = wanted;
}

} // namespace q48

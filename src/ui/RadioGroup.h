#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class QGridLayout;

namespace q48 {

// A captioned group of radio buttons laid out in columns, chosen by item index (-1: none).
class RadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex NOTIFY itemIndexChanged)
    Q_PROPERTY(int columns READ columns WRITE setColumns)

public:
    explicit RadioGroup(QWidget *parent = nullptr);

    QStringList items() const { return m_items; }
    void setItems(const QStringList &items);
    int itemIndex() const;
    void setItemIndex(int index);
    int columns() const { return m_columns; }
    void setColumns(int columns);

    QAbstractButton *button(int index) const { return m_buttons.button(index); }

signals:
    // The user picked an item (not emitted for setItemIndex).
    void itemClicked(int index);
    void itemIndexChanged(int index);

private:
    void rebuild();

    QStringList m_items;
    int m_columns = 1;
    int m_wantedIndex = -1;
    QButtonGroup m_buttons;
    QGridLayout *m_grid;
};

} // namespace q48

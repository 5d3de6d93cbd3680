#include "CSwitchButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

CSwitchButton::CSwitchButton(QWidget *parent) : QPushButton(parent)
{
    m_unSelectColor = palette().color(QPalette::Button);
}

CSwitchButton::CSwitchButton(const QString &text, QWidget *parent) : CSwitchButton(parent)
{
    setText(text);
}

void CSwitchButton::setSelected(bool selected)
{
    if (selected == m_isSelected)
        return;
    m_isSelected = selected;
    applyFace(m_isSelected ? m_selectColor : m_unSelectColor);
}

void CSwitchButton::setSelectColor(const QColor &color)
{
    if (color == m_selectColor)
        return;
    m_selectColor = color;
    applyFace(m_isSelected ? m_selectColor : m_unSelectColor);
}

void CSwitchButton::setUnSelectColor(const QColor &color)
{
    if (color == m_unSelectColor)
        return;
    m_unSelectColor = color;
    applyFace(m_isSelected ? m_selectColor : m_unSelectColor);
}

QColor CSwitchButton::faceColor() const
{
    return palette().color(QPalette::Button);
}

void CSwitchButton::applyFace(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Button, color);
    // Keep the caption legible on dark or saturated faces.
    pal.setColor(QPalette::ButtonText, color.lightnessF() < 0.45 ? Qt::white : Qt::black);
    setPalette(pal);
    update();
    ++m_faceRepaints;
    emit faceRepainted(color);
}

void CSwitchButton::paintEvent(QPaintEvent *)
{
    // Same as the base class, minus the focus rectangle: these buttons act as panel keys.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.state &= ~QStyle::State_HasFocus;
    painter.drawControl(QStyle::CE_PushButton, option);
}

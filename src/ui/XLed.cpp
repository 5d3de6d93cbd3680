#include "XLed.h"

#include <QPainter>

XLed::XLed(QWidget *parent) : QWidget(parent) {}

void XLed::setActive(bool active)
{
    m_active = active;
    setLedStatus(active ? 2 : 0);
}

void XLed::setLedStatus(int status)
{
    m_status = static_cast<quint8>(status);
    applyStatus();
}

void XLed::setUnActiveColor(const QColor &color)
{
    m_unactiveColor = color;
    applyStatus();
}

void XLed::setHoverColor(const QColor &color)
{
    m_hoverColor = color;
    applyStatus();
}

void XLed::setActiveColor(const QColor &color)
{
    m_activeColor = color;
    applyStatus();
}

void XLed::setBrushColor(const QColor &color)
{
    if (color == m_brush)
        return;
    m_brush = color;
    update();
}

void XLed::applyStatus()
{
    switch (m_status) {
    case 0:
        setBrushColor(m_unactiveColor);
        break;
    case 1:
        setBrushColor(m_hoverColor);
        break;
    case 2:
        setBrushColor(m_activeColor);
        break;
    default:
        break;
    }
}

void XLed::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    painter.setBrush(m_brush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    // A soft highlight along the top reads as a lit lens without hiding the colour.
    if (height() > 6) {
        QColor shine(255, 255, 255, 70);
        painter.setPen(Qt::NoPen);
        painter.setBrush(shine);
        painter.drawRect(QRect(2, 2, width() - 4, (height() - 4) / 3));
    }
}

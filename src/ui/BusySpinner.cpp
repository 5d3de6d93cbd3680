#include "BusySpinner.h"

#include <QEvent>
#include <QPainter>

namespace q48 {

BusySpinner::BusySpinner(QWidget *parent) : QWidget(parent)
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] { setPosition((m_position + 1) % kSpokes); });
}

void BusySpinner::setPosition(int position)
{
    if (position == m_position)
        return;
    m_position = position;
    update();
}

void BusySpinner::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void BusySpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void BusySpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateTimer();
}

void BusySpinner::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateTimer();
}

void BusySpinner::updateTimer()
{
    // Only turn while someone can see it.
    if (isVisible() && isEnabled())
        m_timer.start();
    else
        m_timer.stop();
}

void BusySpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    painter.scale(side / 100.0, side / 100.0);

    painter.setPen(Qt::NoPen);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current position is brightest; the ones behind it fade out.
        const int age = (m_position - i + kSpokes) % kSpokes;
        QColor c = isEnabled() ? m_color : palette().color(QPalette::Disabled, QPalette::WindowText);
        c.setAlphaF(1.0 - 0.8 * age / (kSpokes - 1));
        painter.save();
        painter.rotate(i * 360.0 / kSpokes);
        painter.setBrush(c);
        painter.drawRoundedRect(QRectF(-5, -44, 10, 24), 5, 5);
        painter.restore();
    }
}

} // namespace q48

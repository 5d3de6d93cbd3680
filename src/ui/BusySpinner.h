#pragma once

#include <QTimer>
#include <QWidget>

namespace q48 {

// A small circular busy indicator: a ring of spokes whose bright spot turns while the widget is
// shown and enabled. It says "waiting for the mixer", not how far along anything is.
class BusySpinner : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int interval READ interval WRITE setInterval)
    Q_PROPERTY(int position READ position WRITE setPosition)
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    static constexpr int kSpokes = 12;

    explicit BusySpinner(QWidget *parent = nullptr);

    int interval() const { return m_timer.interval(); }
    void setInterval(int milliseconds) { m_timer.setInterval(milliseconds); }
    int position() const { return m_position; }
    void setPosition(int position);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return {60, 60}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateTimer();

    QTimer m_timer;
    int m_position = 0;
    QColor m_color{0x2f, 0x6f, 0xb0};
};

} // namespace q48

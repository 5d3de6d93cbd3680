#pragma once

#include <QColor>
#include <QWidget>

// A rectangular status lamp. Its state picks one of three colours; any other state value is
// kept but leaves the lamp as it was.
class XLed : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor dp_UnactiveColor READ dp_UnactiveColor WRITE setUnActiveColor)
    Q_PROPERTY(QColor dp_HoverColor READ dp_HoverColor WRITE setHoverColor)
    Q_PROPERTY(QColor dp_ActiveColor READ dp_ActiveColor WRITE setActiveColor)
    Q_PROPERTY(int dp_LedStatus READ dp_LedStatus WRITE setLedStatus)
    Q_PROPERTY(bool dp_active READ dp_active WRITE setActive)
    Q_PROPERTY(QColor brushColor READ brushColor WRITE setBrushColor)

public:
    explicit XLed(QWidget *parent = nullptr);

    QColor dp_UnactiveColor() const { return m_unactiveColor; }
    QColor dp_HoverColor() const { return m_hoverColor; }
    QColor dp_ActiveColor() const { return m_activeColor; }
    int dp_LedStatus() const { return m_status; }
    bool dp_active() const { return m_active; }

    void setActive(bool active);
    // Stored as one byte, as the lamp's status always was.
    void setLedStatus(int status);
    void setUnActiveColor(const QColor &color);
    void setHoverColor(const QColor &color);
    void setActiveColor(const QColor &color);

    QColor brushColor() const { return m_brush; }
    void setBrushColor(const QColor &color);

    QSize sizeHint() const override { return {19, 14}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void applyStatus();

    QColor m_unactiveColor{0xa0, 0xa0, 0xa4};
    QColor m_hoverColor{Qt::red};
    QColor m_activeColor{0x00, 0xff, 0x00};
    quint8 m_status = 0;
    bool m_active = false;
    QColor m_brush{0xa0, 0xa0, 0xa4};
};

#pragma once

#include <QColor>
#include <QPushButton>

// A push button that shows a "selected" state by its face colour. The face is only restyled when
// something actually changes, which keeps repaints down on windows that set the state often.
class CSwitchButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor dp_unSelectColor READ dp_unSelectColor WRITE setUnSelectColor)
    Q_PROPERTY(QColor dp_selectColor READ dp_selectColor WRITE setSelectColor)
    Q_PROPERTY(bool dp_isSelected READ dp_isSelected WRITE setSelected)

public:
    explicit CSwitchButton(QWidget *parent = nullptr);
    explicit CSwitchButton(const QString &text, QWidget *parent = nullptr);

    QColor dp_unSelectColor() const { return m_unSelectColor; }
    QColor dp_selectColor() const { return m_selectColor; }
    bool dp_isSelected() const { return m_isSelected; }

    void setSelected(bool selected);
    void setSelectColor(const QColor &color);
    void setUnSelectColor(const QColor &color);

    QColor faceColor() const;
    // How often the face was restyled since construction.
    int faceRepaintCount() const { return m_faceRepaints; }

signals:
    void faceRepainted(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void applyFace(const QColor &color);

    QColor m_unSelectColor;
    QColor m_selectColor{Qt::red};
    bool m_isSelected = false;
    int m_faceRepaints = 0;
};

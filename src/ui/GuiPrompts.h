#pragma once

#include "UserPrompts.h"

#include <QPointer>
#include <QWidget>

namespace q48 {

// Asks the person at the screen: plain message boxes and the platform's file dialogs, modal to
// the given window (or to whichever window is active when none is given).
class GuiPrompts : public UserPrompts {
public:
    explicit GuiPrompts(QWidget *parent = nullptr) : m_parent(parent) {}

    bool askYesNo(const QString &text, const QString &title) override;
    QString saveFileName(const QString &filter) override;
    QString openFileName(const QString &filter) override;
    void message(const QString &text, const QString &title = QString()) override;

    // "Label(*.ext)|*.ext|..." to Qt's "Label (*.ext);;...". A label whose own brackets do not
    // hold the pattern gets the pattern appended, so Qt never mistakes "h(file)" for a pattern.
    static QString toQtFilter(const QString &filter);
    // The extension a name typed without one should get: "sGEQ" for "...|*.sGEQ"; empty when the
    // filter offers more than one pattern or a wildcard extension.
    static QString defaultSuffix(const QString &filter);

private:
    QWidget *dialogParent() const;

    QPointer<QWidget> m_parent;
};

} // namespace q48

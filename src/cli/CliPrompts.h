#pragma once

#include "UserPrompts.h"

#include <QStringList>

namespace q48 {

// The core's questions answered from the command line: --yes or the terminal for the
// questions, -o and the positional file for the dialogs. Messages are kept, so the command
// can name what went wrong in its own error line.
class CliPrompts : public UserPrompts {
public:
    CliPrompts(bool answerYes, bool interactive) : m_answerYes(answerYes), m_interactive(interactive) {}

    void setSaveName(const QString &path) { m_saveName = path; }
    void setOpenName(const QString &path) { m_openName = path; }

    bool askYesNo(const QString &text, const QString &title) override;
    QString saveFileName(const QString &filter) override;
    QString openFileName(const QString &filter) override;
    void message(const QString &text, const QString &title = QString()) override;

    QStringList messages() const { return m_messages; }
    QString lastMessage() const { return m_messages.isEmpty() ? QString() : m_messages.last(); }
    bool wasDeclined() const { return m_declined; }

private:
    bool m_answerYes;
    bool m_interactive;
    bool m_declined = false;
    QString m_saveName;
    QString m_openName;
    QStringList m_messages;
};

} // namespace q48

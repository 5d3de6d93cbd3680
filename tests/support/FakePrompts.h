#pragma once

#include "UserPrompts.h"

#include <QString>
#include <QStringList>

namespace q48::test {

// Answers every prompt from a script and records what was asked, so a test can assert
// both what the user was told and what the program would have done with the answers.
class FakePrompts : public UserPrompts {
public:
    struct Asked {
        QString kind; // "yesno", "save", "open", "message"
        QString text; // question or message text, or the dialog filter
        QString title;
    };

    bool answerYes = true;
    QString saveAnswer; // empty: cancelled
    QString openAnswer; // empty: cancelled
    QList<Asked> asked;

    bool askYesNo(const QString &text, const QString &title) override
    {
        asked.append({QStringLiteral("yesno"), text, title});
        return answerYes;
    }
    QString saveFileName(const QString &filter) override
    {
        asked.append({QStringLiteral("save"), filter, {}});
        return saveAnswer;
    }
    QString openFileName(const QString &filter) override
    {
        asked.append({QStringLiteral("open"), filter, {}});
        return openAnswer;
    }
    void message(const QString &text, const QString &title) override
    {
        asked.append({QStringLiteral("message"), text, title});
    }

    QStringList messages() const
    {
        QStringList out;
        for (const Asked &a : asked)
            if (a.kind == QLatin1String("message"))
                out << a.text;
        return out;
    }
};

} // namespace q48::test

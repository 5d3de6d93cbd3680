#pragma once

#include <QString>

namespace q48 {

// Everything the core needs from a person. The GUI answers with message boxes and file
// dialogs, the CLI with its options or the terminal, tests with a script.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A Yes/No question; true only for Yes.
    virtual bool askYesNo(const QString &text, const QString &title) = 0;
    // A file to write; filter in the "Label(*.ext)|*.ext" form. Empty when cancelled.
    virtual QString saveFileName(const QString &filter) = 0;
    // A file to read; same filter form. Empty when cancelled.
    virtual QString openFileName(const QString &filter) = 0;
    // A message with an OK button. An empty title means the program's default.
    virtual void message(const QString &text, const QString &title = QString()) = 0;
};

} // namespace q48

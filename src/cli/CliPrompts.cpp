#include "CliPrompts.h"

#include "Terminal.h"

namespace q48 {

bool CliPrompts::askYesNo(const QString &text, const QString &title)
{
    if (m_answerYes)
        return true;
    // Commands that ask check this up front; reaching here without a terminal is a refusal.
    if (!m_interactive) {
        m_declined = true;
        return false;
    }
    Terminal::writeErr(QStringLiteral("%1: %2 [y/N] ").arg(title, text));
    const QString answer = Terminal::readLine().toLower();
    const bool yes = answer == QLatin1String("y") || answer == QLatin1String("yes");
    m_declined = !yes;
    return yes;
}

QString CliPrompts::saveFileName(const QString &)
{
    return m_saveName;
}

QString CliPrompts::openFileName(const QString &)
{
    return m_openName;
}

void CliPrompts::message(const QString &text, const QString &)
{
    m_messages << text;
}

} // namespace q48

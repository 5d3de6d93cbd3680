#include "ResponseWatchdog.h"

#include "UserPrompts.h"

namespace q48 {

ResponseWatchdog::ResponseWatchdog(UserPrompts &prompts, QObject *parent)
    : QObject(parent), m_prompts(prompts)
{
    m_tmrchecker.setInterval(kDefaultIntervalMs);
    connect(&m_tmrchecker, &QTimer::timeout, this, &ResponseWatchdog::tmrcheckerTimer);
}

void ResponseWatchdog::startWatchdog()
{
    m_waitCounter = 0;
    m_tmrchecker.start();
}

void ResponseWatchdog::stopWatchdog()
{
    m_waitCounter = 0;
    m_tmrchecker.stop();
}

void ResponseWatchdog::tmrcheckerTimer()
{
    ++m_waitCounter;
    if (m_waitCounter < kGiveUpTicks)
        return;
    emit gaveUp();
    // Stopped before the modal message, so no tick fires while it is open.
    stopWatchdog();
    m_prompts.message(QStringLiteral("No reponsed ,please recall once"));
}

} // namespace q48

#include "PumpWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace q48 {

void pumpingWait(int milliseconds)
{
    if (milliseconds <= 0) {
        processPendingOnce();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void processPendingOnce() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

} // namespace q48

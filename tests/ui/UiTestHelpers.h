#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace q48::test {

// Lets events run until the condition holds or the time is up; returns the condition.
inline bool waitFor(const std::function<bool()> &condition, int limitMs = 3000)
{
    const QDeadlineTimer deadline(limitMs);
    while (!condition() && !deadline.hasExpired())
        QTest::qWait(5);
    return condition();
}

// Acts on the next modal window once it is up. Runs from the event loop the modal window
// starts; if none shows up within the limit it gives up, and if the action leaves the window
// open, the window is rejected, so a test can never hang on a modal loop.
inline void whenModal(std::function<void(QWidget *)> action, int limitMs = 5000)
{
    auto *poll = new QTimer;
    const QDeadlineTimer deadline(limitMs);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action, deadline, limitMs] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            if (deadline.hasExpired())
                poll->deleteLater();
            return;
        }
        poll->stop();
        poll->deleteLater();
        QPointer<QWidget> guard(modal);
        action(modal);
        if (guard && guard->isVisible())
            QTimer::singleShot(limitMs, guard, [guard] {
                if (auto *dialog = qobject_cast<QDialog *>(guard.data()))
                    dialog->reject();
            });
    });
    poll->start(10);
}

} // namespace q48::test

#pragma once

#include <QObject>
#include <QTimer>

namespace q48 {

class UserPrompts;

// Guards the DSP read-back, the one exchange with a time-out: four ticks without a read-back
// packet and it gives up with a message.
class ResponseWatchdog : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 1000;
    static constexpr int kGiveUpTicks = 4;

    explicit ResponseWatchdog(UserPrompts &prompts, QObject *parent = nullptr);

    void startWatchdog();
    void stopWatchdog();
    // The tick handler.
    void tmrcheckerTimer();
    // A read-back packet arrived.
    void resetWaitCounter() { m_waitCounter = 0; }

    qint32 waitCounter() const { return m_waitCounter; }
    bool isRunning() const { return m_tmrchecker.isActive(); }
    QTimer &tmrchecker() { return m_tmrchecker; }
    void setInterval(int milliseconds) { m_tmrchecker.setInterval(milliseconds); }

signals:
    // Emitted before the timer stops and the message shows; the read-back sets dspReady on it.
    void gaveUp();

private:
    UserPrompts &m_prompts;
    QTimer m_tmrchecker;
    qint32 m_waitCounter = 0;
};

} // namespace q48

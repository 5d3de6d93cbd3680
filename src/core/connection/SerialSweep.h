#pragma once

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>

class QSerialPort;
class QThread;
class QTimer;

namespace q48 {

class ComClient;

// The serial half of discovery. Lives on its own thread, because opening a port can block:
// it owns the sweep's port `ComPort1` and its ComClient, probes the ports from the last to the
// first, and reads the replies itself, so a reply is tied to the port it arrived on even
// when the window's thread handles it late.
class SerialSweep : public QObject {
    Q_OBJECT
public:
    SerialSweep(int portStepMs, int passGapMs);
    ~SerialSweep() override;

    // Safe from any thread.
    void setPorts(const QStringList &ports);
    QStringList ports() const;
    void setPaused(bool paused);
    bool isPaused() const { return m_paused.load(); }

    // Sweep thread only (invoke them queued or blocking-queued from elsewhere).
    void begin();
    void closePort();

    // A sweep of `ports` moved to a new thread owned by `owner`, not yet started, so the caller
    // can connect to it first; the sweep deletes itself when that thread ends.
    static SerialSweep *createOnThread(QObject *owner, QThread **thread, int portStepMs, int passGapMs,
                                       const QStringList &ports, bool paused);
    // Ends the sweep's thread and waits for it; both pointers are null afterwards. The sweep waits
    // on timers, never in sleeps, so at most the open or write of one port is still to finish.
    static void stopThread(QThread *&thread, SerialSweep *&sweep);

signals:
    // Bytes arrived on this port; delivered queued to the window's thread.
    void replyReceived(const QString &portName);

private:
    void step();
    void probe(const QString &portName);
    void takeReply();
    void schedule(int ms);

    const int m_portStepMs;
    const int m_passGapMs;

    mutable QMutex m_lock;
    QStringList m_ports; // guarded by m_lock; read afresh at every step
    std::atomic<bool> m_paused{false};

    std::unique_ptr<QSerialPort> ComPort1;
    std::unique_ptr<ComClient> m_client;
    // The name as listed: QSerialPort reports "/dev/ttyUSB0" back as "ttyUSB0".
    QString m_currentPort;
    QTimer *m_timer = nullptr;
    bool m_inPass = false;
    int m_index = -1;
};

} // namespace q48

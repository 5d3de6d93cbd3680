#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace q48::test {

// Runs one q48-sim for a test. By default it listens on free loopback ports, records every frame
// it receives and writes its summary into a temporary folder owned by this object. The simulator
// is stopped (SIGTERM, then kill) by stop() or the destructor, and stops by itself when this
// process dies (its stdin, a pipe from us, reaches end of file).
class SimProcess {
public:
    // extraArgs go after the defaults, so a test can override them (e.g. "--no-udp").
    explicit SimProcess(const QStringList &extraArgs = {});
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Also serve the serial link, on a pseudo-terminal linked at serialPath(). Call before start().
    void enableSerial();

    // Starts the simulator and waits (bounded) for its "ready" line; false with errorString() if not.
    bool start(int timeoutMs = 10000);
    bool isRunning() const;
    void stop(int timeoutMs = 5000);

    quint16 tcpPort() const { return tcpPort_; }
    quint16 udpPort() const { return udpPort_; }
    QString serialPath() const { return serialPath_; }
    QString recordPath() const;
    QString summaryPath() const;
    QString dir() const { return dir_.path(); }
    QString errorString() const { return error_; }
    QByteArray output() const; // what the simulator wrote to stderr, for failure messages

    // The summary written on exit; empty before stop().
    QJsonObject summary() const;
    // Every frame received so far, one JSON object per frame (timeMs, link, command, subCode, size, hex).
    QList<QJsonObject> recordedFrames() const;

    static QString binaryPath();

private:
    QStringList extraArgs_;
    QTemporaryDir dir_;
    QProcess process_;
    QString serialPath_;
    quint16 tcpPort_ = 0;
    quint16 udpPort_ = 0;
    QString error_;
};

} // namespace q48::test

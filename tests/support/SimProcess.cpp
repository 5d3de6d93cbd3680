#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

namespace q48::test {

SimProcess::SimProcess(const QStringList &extraArgs) : extraArgs_(extraArgs)
{
    process_.setStandardErrorFile(dir_.filePath(QStringLiteral("stderr.txt")));
}

SimProcess::~SimProcess()
{
    stop();
}

QString SimProcess::binaryPath()
{
    return QStringLiteral(Q48_BIN_DIR "/q48-sim");
}

QString SimProcess::recordPath() const
{
    return dir_.filePath(QStringLiteral("record.jsonl"));
}

QString SimProcess::summaryPath() const
{
    return dir_.filePath(QStringLiteral("summary.json"));
}

void SimProcess::enableSerial()
{
    serialPath_ = dir_.filePath(QStringLiteral("ttyQ48"));
}

bool SimProcess::isRunning() const
{
    return process_.state() != QProcess::NotRunning;
}

bool SimProcess::start(int timeoutMs)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder: %1").arg(dir_.errorString());
        return false;
    }
    QStringList args{QStringLiteral("--tcp-port"), QStringLiteral("0"),
                     QStringLiteral("--udp-port"), QStringLiteral("0"),
                     QStringLiteral("--bind"),     QStringLiteral("127.0.0.1"),
                     QStringLiteral("--record"),   recordPath(),
                     QStringLiteral("--summary"),  summaryPath()};
    // Ends by itself if this process dies before stop() could run.
    args << QStringLiteral("--exit-with-parent");
    if (!serialPath_.isEmpty())
        args << QStringLiteral("--serial-pty") << serialPath_;
    args << extraArgs_;

    process_.start(binaryPath(), args);
    if (!process_.waitForStarted(timeoutMs)) {
        error_ = QStringLiteral("cannot start %1: %2").arg(binaryPath(), process_.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray pending;
    while (!deadline.hasExpired()) {
        if (!process_.canReadLine() &&
            !process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (!isRunning())
                break;
            continue;
        }
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            const QString value = line.section(QLatin1Char(' '), 1);
            if (line.startsWith(QLatin1String("tcp ")))
                tcpPort_ = quint16(value.section(QLatin1Char(':'), -1).toUInt());
            else if (line.startsWith(QLatin1String("udp ")))
                udpPort_ = quint16(value.toUInt());
            else if (line.startsWith(QLatin1String("serial ")))
                serialPath_ = value;
            else if (line == QLatin1String("ready"))
                return true;
        }
    }
    error_ = QStringLiteral("q48-sim did not get ready: %1").arg(QString::fromLocal8Bit(output()));
    stop();
    return false;
}

void SimProcess::stop(int timeoutMs)
{
    if (!isRunning())
        return;
    process_.terminate();
    if (!process_.waitForFinished(timeoutMs)) {
        process_.kill();
        process_.waitForFinished(timeoutMs);
    }
}

QByteArray SimProcess::output() const
{
    QFile file(dir_.filePath(QStringLiteral("stderr.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject SimProcess::summary() const
{
    QFile file(summaryPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QList<QJsonObject> SimProcess::recordedFrames() const
{
    QList<QJsonObject> frames;
    QFile file(recordPath());
    if (!file.open(QIODevice::ReadOnly))
        return frames;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty())
            frames.append(QJsonDocument::fromJson(line).object());
    }
    return frames;
}

} // namespace q48::test

#pragma once

// Starts and stops the q48-sim beside the bench program, on loopback or on its own pty.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>

namespace q48::bench {

class BenchSim {
public:
    BenchSim() = default;
    BenchSim(const BenchSim &) = delete;
    BenchSim &operator=(const BenchSim &) = delete;
    ~BenchSim() { stop(); }

    // TCP on a free loopback port, plus the serial link on a pty when `serial` and the UDP
    // search on a free loopback port when `udp`; false when the simulator did not report ready
    // within 10 s.
    bool start(const QStringList &extraArgs, bool serial = false, bool udp = false)
    {
        QStringList args{QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--tcp-port"),
                         QStringLiteral("0")};
        args << (udp ? QStringList{QStringLiteral("--udp-port"), QStringLiteral("0")}
                     : QStringList{QStringLiteral("--no-udp")});
        if (serial)
            args << QStringLiteral("--serial-pty") << m_dir.filePath(QStringLiteral("tty"));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/q48-sim"),
                        args + extraArgs);
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() &&
               m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                if (line.startsWith(QLatin1String("tcp ")))
                    m_tcpPort = quint16(line.section(QLatin1Char(':'), -1).toUInt());
                else if (line.startsWith(QLatin1String("udp ")))
                    m_udpPort =
                        quint16(line.section(QLatin1Char(' '), -1).section(QLatin1Char(':'), -1).toUInt());
                else if (line.startsWith(QLatin1String("serial ")))
                    m_serialPath = line.mid(7);
                else if (line == QLatin1String("ready"))
                    return m_tcpPort != 0;
            }
        }
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    quint16 tcpPort() const { return m_tcpPort; }
    quint16 udpPort() const { return m_udpPort; }
    QString tcpTarget() const { return QStringLiteral("127.0.0.1:%1").arg(m_tcpPort); }
    QString serialPath() const { return m_serialPath; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_tcpPort = 0;
    quint16 m_udpPort = 0;
    QString m_serialPath;
};

} // namespace q48::bench

#pragma once

#include "connection/Discovery.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace q48::test {

// Loopback only, no serial ports unless a test gives some, and periods short enough for tests.
inline DiscoveryEndpoints loopbackEndpoints(int tcpPort, int searchPort = 9)
{
    DiscoveryEndpoints endpoints;
    endpoints.searchAddress = QStringLiteral("127.0.0.1");
    endpoints.searchPort = searchPort;
    endpoints.udpPort = 0;
    endpoints.tcpPort = tcpPort;
    endpoints.serialPorts = QStringList{};
    return endpoints;
}

inline DiscoveryTimings fastTimings()
{
    DiscoveryTimings timings;
    timings.searchIntervalMs = 50;
    timings.probeTickMs = 50;
    timings.probeSpacingMs = 150;
    timings.portStepMs = 20;
    timings.passGapMs = 100;
    timings.rescanMs = 100;
    return timings;
}

// A TCP listener on one loopback address standing in for a mixer's port: records what each
// connection sent and answers the probe, stays silent, or hangs up, as the test asks.
class ProbeListener : public QObject {
public:
    enum class Answer { Reply, Silent, HangUp };

    explicit ProbeListener(Answer answer, const QHostAddress &address = QHostAddress::LocalHost,
                           quint16 port = 0)
        : m_answer(answer)
    {
        m_ok = m_server.listen(address, port);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++connections;
                m_sockets << socket;
                if (m_answer == Answer::HangUp) {
                    socket->disconnectFromHost();
                    continue;
                }
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                    received += socket->readAll();
                    if (m_answer == Answer::Reply && received.size() >= 11)
                        socket->write(QByteArray(1, '\x01'));
                });
            }
        });
    }

    bool ok() const { return m_ok; }
    quint16 port() const { return m_server.serverPort(); }

    int connections = 0;
    QByteArray received;

private:
    Answer m_answer;
    bool m_ok = false;
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
};

} // namespace q48::test

#pragma once

#include "Client.h"

class QTcpSocket;

namespace q48 {

// The mixer over TCP. The socket belongs to the caller; its signals tell when the connect
// completes or fails.
class NetClient : public Client {
public:
    explicit NetClient(QTcpSocket *socket) : m_socket(socket) {}

    // "host:port", split at the first colon. Refused (false) without a host, without a port
    // number in 0..65535, or while the socket is not idle.
    bool setTarget(const QString &text) override;
    QString target() const override;
    void open() override;
    void close() override;
    qint32 write(const char *data, qint32 count) override;
    qint32 read(char *data, qint32 count) override;
    // Only once the connect has completed.
    bool isConnected() const override;
    qint32 available() const override;
    QString errorString() const override;

    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    QTcpSocket *socket() const { return m_socket; }

private:
    QTcpSocket *m_socket;
    QString m_host;
    quint16 m_port = 0;
    QString m_writeError;
};

} // namespace q48

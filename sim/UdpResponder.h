#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

namespace q48::sim {

class Mixer;

// Answers the tool's 12-byte search datagram, to whoever sent it, with a longer datagram.
class UdpResponder : public QObject {
    Q_OBJECT
public:
    UdpResponder(Mixer &mixer, quint16 tcpPort, QObject *parent = nullptr);

    bool bind(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const { return socket_.localPort(); }

private:
    void onReadyRead();

    Mixer &mixer_;
    quint16 tcpPort_;
    QUdpSocket socket_;
};

} // namespace q48::sim

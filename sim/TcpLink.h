#pragma once

#include "OutputChannel.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace q48::sim {

class Mixer;
class Session;

// The device's TCP port: one tool connection at a time. A second connection is closed, unless the
// first turns out to be closing already (the tool drops its probe connection just before it
// connects for real).
class TcpLink : public QObject {
    Q_OBJECT
public:
    TcpLink(Mixer &mixer, OutputChannel::Shaping shaping, bool silent, QObject *parent = nullptr);

    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const { return server_.serverPort(); }

private:
    void onNewConnection();
    void adopt(QTcpSocket *socket);
    void onActiveGone();
    void decideWaiting(QTcpSocket *socket);

    Mixer &mixer_;
    OutputChannel::Shaping shaping_;
    bool silent_;
    QTcpServer server_;
    QPointer<QTcpSocket> active_;
    QPointer<Session> session_;
    QList<QPointer<QTcpSocket>> waiting_;
};

} // namespace q48::sim

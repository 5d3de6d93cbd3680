#include "TcpLink.h"

#include "Mixer.h"
#include "Session.h"

#include <QTimer>

namespace q48::sim {

namespace {
// How long a second connection may wait for the first one to finish closing.
constexpr int kWaitingMs = 300;
} // namespace

TcpLink::TcpLink(Mixer &mixer, OutputChannel::Shaping shaping, bool silent, QObject *parent)
    : QObject(parent), mixer_(mixer), shaping_(shaping), silent_(silent)
{
    connect(&server_, &QTcpServer::newConnection, this, &TcpLink::onNewConnection);
}

bool TcpLink::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!server_.listen(address, port)) {
        *error = QStringLiteral("cannot listen on TCP %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(server_.errorString());
        return false;
    }
    return true;
}

void TcpLink::onNewConnection()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        if (!active_) {
            adopt(socket);
            continue;
        }
        waiting_.append(socket);
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(kWaitingMs, this, [this, guard] {
            if (guard)
                decideWaiting(guard);
        });
    }
}

void TcpLink::decideWaiting(QTcpSocket *socket)
{
    if (!waiting_.contains(socket))
        return;
    waiting_.removeAll(socket);
    if (!active_) {
        adopt(socket);
        return;
    }
    socket->abort();
    socket->deleteLater();
}

void TcpLink::adopt(QTcpSocket *socket)
{
    active_ = socket;
    socket->setParent(this);
    const QPointer<QTcpSocket> guard(socket);
    session_ = new Session(
        QStringLiteral("tcp"), mixer_,
        [guard](const QByteArray &bytes) {
            if (guard && guard->state() == QAbstractSocket::ConnectedState)
                guard->write(bytes);
        },
        [guard] {
            if (guard)
                guard->disconnectFromHost();
        },
        shaping_, this);
    if (silent_)
        session_->mute();
    connect(socket, &QTcpSocket::readyRead, session_, [this, guard] {
        if (guard && session_)
            session_->receive(guard->readAll());
    });
    connect(socket, &QTcpSocket::disconnected, this, &TcpLink::onActiveGone);
    if (socket->bytesAvailable() > 0)
        session_->receive(socket->readAll());
}

void TcpLink::onActiveGone()
{
    if (session_)
        session_->deleteLater();
    if (active_)
        active_->deleteLater();
    session_ = nullptr;
    active_ = nullptr;
    while (!waiting_.isEmpty()) {
        QPointer<QTcpSocket> next = waiting_.takeFirst();
        if (next && next->state() == QAbstractSocket::ConnectedState) {
            adopt(next);
            return;
        }
        if (next)
            next->deleteLater();
    }
}

} // namespace q48::sim

#include "NetClient.h"

#include "DebugLog.h"

#include <QTcpSocket>

#include <algorithm>
#include <limits>

namespace q48 {

bool NetClient::setTarget(const QString &text)
{
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        return false;
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok, 10);
    if (!ok || port > 0xFFFF)
        return false;
    m_host = text.left(colon);
    m_port = quint16(port);
    return true;
}

QString NetClient::target() const
{
    return m_host + QLatin1Char(':') + QString::number(m_port);
}

void NetClient::open()
{
    m_writeError.clear();
    // A socket still closing from an earlier link would refuse the new connect.
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_socket->connectToHost(m_host, m_port, QIODevice::ReadWrite);
}

void NetClient::close()
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket->disconnectFromHost();
    // Still connecting: nothing to flush, so stop the attempt outright.
    if (m_socket->state() != QAbstractSocket::UnconnectedState &&
        m_socket->state() != QAbstractSocket::ClosingState)
        m_socket->abort();
}

qint32 NetClient::write(const char *data, qint32 count)
{
    if (!isConnected())
        return -1;
    const qint64 written = m_socket->write(data, count);
    if (written < 0) {
        m_writeError = m_socket->errorString();
        qCWarning(lcLink).noquote() << "socket write failed:" << m_writeError;
        return -1;
    }
    // What the kernel did not take at once is queued in the socket; out with it now.
    if (m_socket->bytesToWrite() > 0)
        m_socket->flush();
    return static_cast<qint32>(written);
}

qint32 NetClient::read(char *data, qint32 count)
{
    if (!m_socket->isOpen())
        return -1;
    return static_cast<qint32>(m_socket->read(data, count));
}

bool NetClient::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

qint32 NetClient::available() const
{
    return static_cast<qint32>(
        std::min<qint64>(m_socket->bytesAvailable(), std::numeric_limits<qint32>::max()));
}

QString NetClient::errorString() const
{
    if (!m_writeError.isEmpty())
        return m_writeError;
    if (m_socket->error() == QAbstractSocket::UnknownSocketError)
        return {};
    return m_socket->errorString();
}

} // namespace q48

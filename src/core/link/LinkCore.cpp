#include "LinkCore.h"

#include "ComClient.h"
#include "DebugLog.h"
#include "NetClient.h"

namespace q48 {

LinkCore::LinkCore(UserPrompts &prompts, QObject *parent)
    : QObject(parent), m_watchdog(prompts), m_serialWritePauseMs(ComClient::kDefaultWritePauseMs)
{
    applyPortSettings(m_port);

    m_assembler.setFrameHandler([this](const QByteArray &frame) { m_dispatcher.dispatchFrame(frame); });
    m_assembler.setDspFrameCallback([this] { m_watchdog.resetWaitCounter(); });

    connect(&m_port, &QSerialPort::readyRead, this, &LinkCore::m_portRxChar);
    connect(&m_port, &QIODevice::aboutToClose, this, &LinkCore::m_portBeforeClose);
    connect(&m_port, &QSerialPort::errorOccurred, this, &LinkCore::m_portError);
    connect(&ClientSocket1, &QTcpSocket::readyRead, this, &LinkCore::ClientSocket1Read);
    connect(&ClientSocket1, &QTcpSocket::connected, this, &LinkCore::ClientSocket1Connect);
    connect(&ClientSocket1, &QTcpSocket::disconnected, this, &LinkCore::ClientSocket1Disconnect);
    connect(&ClientSocket1, &QTcpSocket::errorOccurred, this, &LinkCore::ClientSocket1Error);
}

LinkCore::~LinkCore()
{
    // Closing during destruction must not call back into a half-destroyed object.
    disconnect(&m_port, nullptr, this, nullptr);
    disconnect(&ClientSocket1, nullptr, this, nullptr);
    releaseLink();
    if (m_port.isOpen())
        m_port.close();
    ClientSocket1.abort();
}

bool LinkCore::openLink(int linkKind, const QString &target)
{
    if (m_activeLink)
        return false;
    std::unique_ptr<Client> link;
    if (linkKind == SerialLink)
        link = std::make_unique<ComClient>(&m_port, m_serialWritePauseMs);
    else if (linkKind == TcpLink)
        link = std::make_unique<NetClient>(&ClientSocket1);
    if (!link || !link->setTarget(target))
        return false;

    m_activeLink = std::move(link);
    m_activeLink->open();
    if (linkKind == SerialLink) {
        // A serial open is synchronous: report its outcome now.
        if (m_activeLink->isConnected())
            m_portAfterOpen();
        else
            emit linkFailed(m_activeLink->errorString());
    }
    return true;
}

void LinkCore::releaseLink()
{
    if (!m_activeLink)
        return;
    if (m_activeLink->isConnected())
        m_activeLink->close();
    m_activeLink.reset();
    // A connect still under way would otherwise complete with no link to own it.
    if (ClientSocket1.state() == QAbstractSocket::HostLookupState ||
        ClientSocket1.state() == QAbstractSocket::ConnectingState)
        ClientSocket1.abort();
}

bool LinkCore::isLinkConnected() const
{
    return m_activeLink && m_activeLink->isConnected();
}

bool LinkCore::sendFrame(const QByteArray &frame)
{
    if (!isLinkConnected() || frame.isEmpty())
        return false;
    return m_activeLink->write(frame.constData(), qint32(frame.size())) == frame.size();
}

void LinkCore::discardInput()
{
    m_assembler.discardInput();
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::AllDirections);
        m_port.clearError();
    }
    if (ClientSocket1.isOpen())
        ClientSocket1.skip(ClientSocket1.bytesAvailable());
}

// Everything pending is taken, chunk by chunk; bytes that arrive while a frame is handled
// stay in the device's buffer and are taken by the loop once the handler returns.
void LinkCore::readAll(QIODevice &device)
{
    char chunk[kReadChunk];
    while (device.isOpen()) {
        const qint64 got = device.read(chunk, kReadChunk);
        if (got <= 0)
            break;
        m_assembler.feed(chunk, got);
    }
}

void LinkCore::m_portRxChar()
{
    readAll(m_port);
}

void LinkCore::m_portAfterOpen()
{
    emit linkUp();
}

void LinkCore::m_portBeforeClose()
{
    emit linkDown();
}

void LinkCore::m_portError(QSerialPort::SerialPortError error)
{
    // Open failures are the ComClient's to report. A port that vanishes while open (adapter
    // pulled, far end hung up) fails every read from then on; close it so the link reads as
    // down instead of spinning on the error.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || !m_port.isOpen())
        return;
    // After a failed read the system text may be a stale one; say plainly what happened.
    const QString reason = QStringLiteral("Lost serial port %1: %2")
                               .arg(m_port.portName(), error == QSerialPort::ResourceError
                                                           ? m_port.errorString()
                                                           : QStringLiteral("reading from it failed"));
    qCWarning(lcLink).noquote() << reason;
    emit linkFailed(reason);
    m_port.close();
}

void LinkCore::ClientSocket1Read()
{
    readAll(ClientSocket1);
}

void LinkCore::ClientSocket1Connect()
{
    // Stop-and-wait: every frame is awaited by the device, so none may sit in Nagle's queue.
    ClientSocket1.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit linkUp();
}

void LinkCore::ClientSocket1Disconnect()
{
    debugLog(QStringLiteral("socket is disconnect now"));
    emit linkDown();
}

void LinkCore::ClientSocket1Error(QAbstractSocket::SocketError error)
{
    // The peer closing is an ordinary end of the link, reported by the disconnect.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    const QString reason = ClientSocket1.errorString();
    qCWarning(lcLink).noquote() << "link socket error:" << reason;
    emit linkFailed(reason);
}

} // namespace q48

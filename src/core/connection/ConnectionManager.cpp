#include "ConnectionManager.h"

#include "UserPrompts.h"
#include "connection/Discovery.h"
#include "link/DebugLog.h"
#include "link/LinkCore.h"

namespace q48 {

namespace {
const QString kConnectCaption = QStringLiteral("Connect");
const QString kDisconnectCaption = QStringLiteral("Disconnect");
const QString kSearchingAgain = QStringLiteral(" Searching for the mixer again.");
} // namespace

ConnectionManager::ConnectionManager(LinkCore &link, Discovery &discovery, UserPrompts &prompts,
                                     const DiscoveryEndpoints &endpoints, std::function<void()> onLinkUp,
                                     QObject *parent)
    : QObject(parent), m_link(link), m_discovery(discovery), m_prompts(prompts), m_endpoints(endpoints),
      m_onLinkUp(std::move(onLinkUp))
{
    connect(&m_link, &LinkCore::linkUp, this, &ConnectionManager::linkCameUp);
    connect(&m_link, &LinkCore::linkDown, this, &ConnectionManager::linkWentDown);
    connect(&m_link, &LinkCore::linkFailed, this, &ConnectionManager::linkFailed);
}

void ConnectionManager::connectButtonClick()
{
    const QStringList found = m_discovery.foundDeviceList();
    if (found.isEmpty() && !m_link.activeLink()) {
        m_prompts.message(QStringLiteral("has not Devices"));
        return;
    }

    if (!m_link.activeLink()) {
        // The sweep's port goes first, so the port it found can be opened by the link at once.
        m_discovery.pauseForLink();
        if (m_link.serialPort().isOpen())
            m_link.serialPort().close();

        ++m_generation;
        m_everUp = false;
        m_linkUp = false;
        m_lostPending = false;
        m_lostReason.clear();
        m_serialError = QSerialPort::NoError;
        m_targetKind = m_discovery.linkKind();
        m_targetName = found.first();
        const QString target = m_targetKind == LinkCore::TcpLink
                                   ? m_targetName + QLatin1Char(':') + QString::number(m_endpoints.tcpPort)
                                   : m_targetName;
        if (!m_link.openLink(m_targetKind, target)) {
            // Nothing was opened; leave the search paused and nobody could leave this state.
            m_discovery.refleshBtnClick();
            m_discovery.setRefreshEnabled(true);
            m_prompts.message(QStringLiteral("Cannot connect to %1.").arg(m_targetName) + kSearchingAgain);
        }
        return;
    }

    if (m_link.isLinkConnected()) {
        disconnectAndSearch();
        return;
    }

    // A link object that is not connected. While a TCP connect is under way the press does
    // nothing; otherwise the link is lost and its events have not been handled yet: do it now.
    const QAbstractSocket::SocketState state = m_link.linkSocket().state();
    const bool connecting = m_targetKind == LinkCore::TcpLink && (state == QAbstractSocket::HostLookupState ||
                                                                  state == QAbstractSocket::ConnectingState);
    if (!connecting)
        handleLostLink(m_generation);
}

void ConnectionManager::releaseLink()
{
    m_releasing = true;
    m_link.releaseLink();
    m_releasing = false;
    ++m_generation;
    m_linkUp = false;
    setLedActive(false);
    setCaption(kConnectCaption);
}

void ConnectionManager::disconnectAndSearch()
{
    releaseLink();
    m_discovery.refleshBtnClick();
    // The button was disabled when the link came up; the user must be able to search again.
    m_discovery.setRefreshEnabled(true);
}

void ConnectionManager::linkCameUp()
{
    m_linkUp = true;
    m_everUp = true;
    setLedActive(true);
    m_discovery.setRefreshEnabled(false);
    setCaption(kDisconnectCaption);
    if (m_onLinkUp)
        m_onLinkUp();
}

void ConnectionManager::linkWentDown()
{
    m_linkUp = false;
    setLedActive(false);
    setCaption(kConnectCaption);
    if (m_releasing || !m_link.activeLink())
        return;
    scheduleLostLink();
}

void ConnectionManager::linkFailed(const QString &reason)
{
    if (m_releasing || !m_link.activeLink())
        return;
    if (m_lostReason.isEmpty())
        m_lostReason = reason;
    if (m_targetKind == LinkCore::SerialLink && m_serialError == QSerialPort::NoError)
        m_serialError = m_link.serialPort().error();
    scheduleLostLink();
}

// Handled from the event loop, not inside the port's or socket's own signal: releasing the
// link and asking the user must not run nested in the component that reported the loss.
void ConnectionManager::scheduleLostLink()
{
    if (m_lostPending)
        return;
    m_lostPending = true;
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this, [this, generation] { handleLostLink(generation); }, Qt::QueuedConnection);
}

void ConnectionManager::handleLostLink(quint64 generation)
{
    m_lostPending = false;
    if (generation != m_generation || !m_link.activeLink() || m_link.isLinkConnected())
        return;
    const bool wasUp = m_everUp;
    const QString text = failureText(wasUp);
    qCWarning(lcDiscovery).noquote() << text;
    disconnectAndSearch();
    m_prompts.message(text);
}

QString ConnectionManager::failureText(bool linkWasUp) const
{
    const bool serial = m_targetKind == LinkCore::SerialLink;
    const QString where = serial ? QStringLiteral("serial port %1").arg(m_targetName)
                                 : QStringLiteral("%1 port %2").arg(m_targetName).arg(m_endpoints.tcpPort);
    const QString reason = m_lostReason.trimmed();

    if (linkWasUp) {
        return (reason.isEmpty() ? QStringLiteral("The connection to %1 was lost.").arg(where)
                                 : QStringLiteral("The connection to %1 was lost: %2.").arg(where, reason)) +
               kSearchingAgain;
    }
    if (!serial) {
        return QStringLiteral("Cannot connect to %1: %2.")
                   .arg(where, reason.isEmpty() ? QStringLiteral("no answer") : reason) +
               kSearchingAgain;
    }

    QString text = QStringLiteral("Cannot open %1: %2.")
                       .arg(where, reason.isEmpty() ? QStringLiteral("unknown error") : reason);
    switch (m_serialError) {
    case QSerialPort::PermissionError:
        // Qt reports a port held by another program as a permission error too.
        if (reason.contains(QLatin1String("busy"), Qt::CaseInsensitive) ||
            reason.contains(QLatin1String("lock"), Qt::CaseInsensitive))
            text += QStringLiteral(" The port is in use by another program; close that program first.");
        else
            text += QStringLiteral(" The port may be in use by another program, or your user may not "
                                   "have access to it (on Linux, add the user to the dialout group and "
                                   "log in again).");
        break;
    case QSerialPort::DeviceNotFoundError:
        text += QStringLiteral(" The port is not present; check the cable or the USB adapter.");
        break;
    default:
        break;
    }
    return text + kSearchingAgain;
}

void ConnectionManager::setLedActive(bool on)
{
    if (m_ledActive == on)
        return;
    m_ledActive = on;
    emit ledChanged(on);
}

void ConnectionManager::setCaption(const QString &caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    emit captionChanged(caption);
}

} // namespace q48

#include "Discovery.h"

#include "connection/SerialSweep.h"
#include "link/DebugLog.h"
#include "link/LinkFrame.h"
#include "link/NetClient.h"
#include "link/SerialPortList.h"

#include <QNetworkDatagram>
#include <QSemaphore>
#include <QThread>
#include <memory>

namespace q48 {

namespace {

constexpr int kSearchRequestSize = int(sizeof(kSearchDatagram));
constexpr int kLargestReply = 100;
constexpr int kSweepCloseWaitMs = 100;

bool containsText(const QStringList &list, const QString &text)
{
    return list.contains(text, Qt::CaseInsensitive);
}

// Dotted-decimal text of an IPv4 sender, also when the stack reports it IPv4-mapped.
QString ipv4Text(const QHostAddress &address)
{
    bool ok = false;
    const quint32 value = address.toIPv4Address(&ok);
    return ok ? QHostAddress(value).toString() : QString();
}

void sendProbe(Client &endpoint)
{
    if (!endpoint.isConnected())
        return;
    const QByteArray frame = LinkFrame::probe();
    endpoint.write(frame.constData(), qint32(frame.size()));
}

} // namespace

Discovery::Discovery(const DiscoveryEndpoints &endpoints, const DiscoveryTimings &timings, QObject *parent)
    : QObject(parent), m_endpoints(endpoints), m_timings(timings)
{
    m_searchTimer.setInterval(m_timings.searchIntervalMs);
    connect(&m_searchTimer, &QTimer::timeout, this, &Discovery::sendSearch);
    connect(&m_udpSocket, &QUdpSocket::readyRead, this, &Discovery::readSearchReplies);

    IPSearchTimer.setInterval(m_timings.probeTickMs);
    connect(&IPSearchTimer, &QTimer::timeout, this, &Discovery::IPSearchTimerTimer);

    m_rescanTimer.setInterval(m_timings.rescanMs);
    connect(&m_rescanTimer, &QTimer::timeout, this, &Discovery::refillSerialPortList);

    probeClient = std::make_unique<NetClient>(&ClientSocket2);
    connect(&ClientSocket2, &QTcpSocket::connected, this, &Discovery::ClientSocket2Connect);
    connect(&ClientSocket2, &QTcpSocket::readyRead, this, &Discovery::ClientSocket2Read);
    connect(&ClientSocket2, &QTcpSocket::errorOccurred, this, &Discovery::ClientSocket1Error);
}

Discovery::~Discovery()
{
    stop();
}

bool Discovery::sweepWanted() const
{
    return !m_endpoints.serialPorts || !m_endpoints.serialPorts->isEmpty();
}

QStringList Discovery::presentSerialPorts() const
{
    return m_endpoints.serialPorts ? *m_endpoints.serialPorts : listSerialPorts();
}

void Discovery::startDiscovery()
{
    m_deviceFound = false;
    if (sweepWanted() && !m_sweepThread) {
        m_serialPortList = presentSerialPorts();
        m_sweep = SerialSweep::createOnThread(this, &m_sweepThread, m_timings.portStepMs, m_timings.passGapMs,
                                              m_serialPortList, m_searchPaused);
        connect(m_sweep, &SerialSweep::replyReceived, this, &Discovery::ComPort1RxChar, Qt::QueuedConnection);
        m_sweepThread->start();
        if (m_serialPortList.isEmpty())
            m_rescanTimer.start();
    }
    openUdpSocket();
}

void Discovery::startProbing()
{
    m_linkKind = kSerial;
    IPSearchTimer.start();
    setRefreshEnabled(true);
}

void Discovery::stop()
{
    IPSearchTimer.stop();
    m_searchTimer.stop();
    m_rescanTimer.stop();
    m_udpSocket.close();
    ClientSocket2.abort();
    SerialSweep::stopThread(m_sweepThread, m_sweep);
}

void Discovery::openUdpSocket()
{
    if (m_udpSocket.state() == QAbstractSocket::BoundState)
        return;
    // Not shared: a second copy of the program must not split the replies with this one.
    if (!m_udpSocket.bind(QHostAddress::AnyIPv4, quint16(m_endpoints.udpPort),
                          QUdpSocket::DontShareAddress)) {
        qCWarning(lcDiscovery).noquote()
            << QStringLiteral("cannot bind UDP port %1 (%2): no search on the LAN")
                   .arg(m_endpoints.udpPort)
                   .arg(m_udpSocket.errorString());
        m_udpSocket.close();
        return;
    }
    sendSearch();
    m_searchTimer.start();
}

int Discovery::searchSocketPort() const
{
    return m_udpSocket.state() == QAbstractSocket::BoundState ? m_udpSocket.localPort() : 0;
}

void Discovery::sendSearch()
{
    if (m_searchPaused || m_udpSocket.state() != QAbstractSocket::BoundState)
        return;
    const QByteArray request(reinterpret_cast<const char *>(kSearchDatagram), kSearchRequestSize);
    if (m_udpSocket.writeDatagram(request, QHostAddress(m_endpoints.searchAddress),
                                  quint16(m_endpoints.searchPort)) < 0)
        qCDebug(lcDiscovery) << "search request not sent:" << m_udpSocket.errorString();
}

void Discovery::readSearchReplies()
{
    while (m_udpSocket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udpSocket.receiveDatagram();
        takeSearchReply(datagram.data(), datagram.senderAddress());
    }
}

void Discovery::takeSearchReply(const QByteArray &datagram, const QHostAddress &sender)
{
    // Our own request (and other copies' requests) come back at 12 bytes; mixers answer longer.
    if (m_searchPaused || datagram.size() <= kSearchRequestSize || datagram.size() > kLargestReply)
        return;
    const QString address = ipv4Text(sender).trimmed();
    if (address.isEmpty() || containsText(m_probedIpList, address))
        return;
    m_candidateIp = address;
}

void Discovery::IPSearchTimerTimer()
{
    if (m_linkKind == kTcp)
        return;
    // One probe at a time: one still connecting, or connected and silent, holds the rest back
    // (a silent one until a restart).
    if (ClientSocket2.state() != QAbstractSocket::UnconnectedState)
        return;
    // Spacing without blocking: the tick returns and a later one opens the next probe.
    if (m_lastProbeOpen.isValid() && !m_lastProbeOpen.hasExpired(m_timings.probeSpacingMs))
        return;
    const QString candidate = m_candidateIp.trimmed();
    if (candidate.size() < 2 || containsText(m_probedIpList, m_candidateIp))
        return;
    m_probedIpList.append(m_candidateIp);
    if (!probeClient->setTarget(candidate + QLatin1Char(':') + QString::number(m_endpoints.tcpPort)))
        return;
    probeClient->open();
    m_lastProbeOpen.start();
}

void Discovery::ClientSocket2Connect()
{
    sendProbe(*probeClient);
}

void Discovery::ClientSocket2Read()
{
    if (m_deviceFound || ClientSocket2.bytesAvailable() == 0)
        return;
    const QString address = ipv4Text(ClientSocket2.peerAddress());
    IPSearchTimer.stop();
    m_deviceFound = true;
    setSearchPaused(true);
    m_foundDeviceList.clear();
    addFoundDevice(address, kTcp);
    probeClient->close();
    ClientSocket2.abort();
    emit deviceFoundChanged();
}

void Discovery::ClientSocket1Error(QAbstractSocket::SocketError error)
{
    // A refused or failed probe: the address stays probed, so it is not tried again.
    qCDebug(lcDiscovery) << "probe of" << ClientSocket2.peerName() << "failed:" << error;
    ClientSocket2.abort();
}

void Discovery::ComPort1RxChar(const QString &portName)
{
    if (m_deviceFound)
        return;
    m_foundDeviceList.clear();
    addFoundDevice(portName, kSerial);
    setSearchPaused(true);
    setRefreshEnabled(true);
    m_deviceFound = true;
    emit deviceFoundChanged();
}

void Discovery::addFoundDevice(const QString &name, int kind)
{
    if (containsText(m_foundDeviceList, name))
        return;
    m_linkKind = kind;
    // Every find empties the list first; keep it at one entry whatever the caller does.
    m_foundDeviceList = QStringList{name};
    setIpLabel(name);
}

void Discovery::refleshBtnClick()
{
    m_deviceFound = false;
    ClientSocket2.abort();
    // Back to 0, or a restart after a TCP find would never probe the LAN again.
    m_linkKind = kSerial;
    IPSearchTimer.start();
    setSearchPaused(false);
    m_foundDeviceList.clear();
    m_probedIpList.clear();
    m_serialPortList.clear();
    setIpLabel(QString());
    if (sweepWanted())
        refillSerialPortList();
    emit deviceFoundChanged();
}

void Discovery::pauseForLink()
{
    setSearchPaused(true);
    if (m_sweep) {
        // The link may want the very port the sweep holds, so wait for it to be closed; but
        // only briefly: a sweep still busy opening another port has already let go of the
        // one it found, and the window must not hang on a slow driver.
        SerialSweep *sweep = m_sweep;
        auto closed = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(
            sweep,
            [sweep, closed] {
                sweep->closePort();
                closed->release();
            },
            Qt::QueuedConnection);
        if (!closed->tryAcquire(1, kSweepCloseWaitMs))
            qCDebug(lcDiscovery) << "sweep still busy; its port is closed once it is done";
    }
    if (probeClient->isConnected())
        probeClient->close();
    ClientSocket2.abort();
    IPSearchTimer.stop();
}

void Discovery::setRefreshEnabled(bool on)
{
    if (m_refreshEnabled == on)
        return;
    m_refreshEnabled = on;
    emit refreshEnabledChanged(on);
}

void Discovery::setSearchPaused(bool paused)
{
    m_searchPaused = paused;
    if (m_sweep)
        m_sweep->setPaused(paused);
}

void Discovery::setIpLabel(const QString &text)
{
    m_ipLabel = text;
    emit ipLabelChanged(text);
}

void Discovery::refillSerialPortList()
{
    m_serialPortList = presentSerialPorts();
    if (m_sweep)
        m_sweep->setPorts(m_serialPortList);
    // Adapters get plugged in later; look again until one is there.
    if (m_serialPortList.isEmpty() && m_sweep && !m_endpoints.serialPorts)
        m_rescanTimer.start();
    else
        m_rescanTimer.stop();
}

} // namespace q48

#include "DiscoveryScan.h"

#include "connection/SerialSweep.h"
#include "link/CommandCodes.h"
#include "link/DebugLog.h"
#include "link/LinkFrame.h"
#include "link/SerialPortList.h"

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QThread>

namespace q48 {

namespace {

constexpr int kSearchRequestSize = int(sizeof(kSearchDatagram));
constexpr int kLargestReply = 100;

QString ipv4Text(const QHostAddress &address)
{
    bool ok = false;
    const quint32 value = address.toIPv4Address(&ok);
    return ok ? QHostAddress(value).toString() : QString();
}

} // namespace

DiscoveryScan::DiscoveryScan(const DiscoveryEndpoints &endpoints, const DiscoveryTimings &timings,
                             QObject *parent)
    : QObject(parent), m_endpoints(endpoints), m_timings(timings)
{
    m_searchTimer.setInterval(m_timings.searchIntervalMs);
    connect(&m_searchTimer, &QTimer::timeout, this, &DiscoveryScan::sendSearch);
    connect(&m_udpSocket, &QUdpSocket::readyRead, this, &DiscoveryScan::readReplies);
}

DiscoveryScan::~DiscoveryScan()
{
    stop();
}

bool DiscoveryScan::start()
{
    const QStringList ports = m_endpoints.serialPorts ? *m_endpoints.serialPorts : QStringList();
    // Without an explicit list the machine's ports are swept, as the window does.
    const bool sweep = !m_endpoints.serialPorts || !ports.isEmpty();
    if (sweep && !m_sweepThread) {
        m_sweep = SerialSweep::createOnThread(this, &m_sweepThread, m_timings.portStepMs, m_timings.passGapMs,
                                              m_endpoints.serialPorts ? ports : listSerialPorts(), false);
        connect(
            m_sweep, &SerialSweep::replyReceived, this,
            [this](const QString &port) { report(port, Discovery::kSerial); }, Qt::QueuedConnection);
        m_sweepThread->start();
    }
    if (!m_udpSocket.bind(QHostAddress::AnyIPv4, quint16(m_endpoints.udpPort),
                          QUdpSocket::DontShareAddress)) {
        m_bindError = QStringLiteral("cannot bind UDP port %1 (%2)")
                          .arg(m_endpoints.udpPort)
                          .arg(m_udpSocket.errorString());
        qCWarning(lcDiscovery).noquote() << m_bindError;
        m_udpSocket.close();
        return false;
    }
    sendSearch();
    m_searchTimer.start();
    return true;
}

void DiscoveryScan::stop()
{
    m_searchTimer.stop();
    m_udpSocket.close();
    for (QTcpSocket *socket : std::as_const(m_probes)) {
        socket->abort();
        socket->deleteLater();
    }
    m_probes.clear();
    SerialSweep::stopThread(m_sweepThread, m_sweep);
}

void DiscoveryScan::sendSearch()
{
    const QByteArray request(reinterpret_cast<const char *>(kSearchDatagram), kSearchRequestSize);
    if (m_udpSocket.writeDatagram(request, QHostAddress(m_endpoints.searchAddress),
                                  quint16(m_endpoints.searchPort)) < 0)
        qCDebug(lcDiscovery) << "search request not sent:" << m_udpSocket.errorString();
}

void DiscoveryScan::readReplies()
{
    while (m_udpSocket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udpSocket.receiveDatagram();
        // Requests (ours and other tools') come back at 12 bytes; mixers answer longer.
        const qsizetype size = datagram.data().size();
        if (size <= kSearchRequestSize || size > kLargestReply)
            continue;
        const QString address = ipv4Text(datagram.senderAddress());
        if (!address.isEmpty() && !m_probes.contains(address))
            probe(address);
    }
}

void DiscoveryScan::probe(const QString &address)
{
    auto *socket = new QTcpSocket(this);
    m_probes.insert(address, socket);
    connect(socket, &QTcpSocket::connected, socket, [socket] {
        const QByteArray frame = LinkFrame::probe();
        socket->write(frame);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, address] {
        socket->abort();
        report(address, Discovery::kTcp);
    });
    connect(socket, &QTcpSocket::errorOccurred, socket,
            [socket, address](QAbstractSocket::SocketError error) {
                qCDebug(lcDiscovery) << "probe of" << address << "failed:" << error;
                socket->abort();
            });
    socket->connectToHost(address, quint16(m_endpoints.tcpPort));
}

void DiscoveryScan::report(const QString &name, int kind)
{
    if (m_devices.contains(name, Qt::CaseInsensitive))
        return;
    m_devices << name;
    emit deviceAnswered(name, kind);
}

} // namespace q48

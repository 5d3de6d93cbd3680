#pragma once

#include "connection/Endpoints.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <memory>

class QThread;

namespace q48 {

class NetClient;
class SerialSweep;

// Every period of the search; tests run them short.
struct DiscoveryTimings {
    int searchIntervalMs = 1000; // UDP search request
    int probeTickMs = 1000;      // IPSearchTimer
    int probeSpacingMs = 2000;   // least time between two probe opens
    int portStepMs = 100;        // serial sweep, per port
    int passGapMs = 3000;        // serial sweep, between passes
    int rescanMs = 3500;         // re-enumeration while there are no serial ports
};

// Finds one mixer: a UDP search whose answers are probed over TCP one at a time, and a sweep
// of the serial ports. The first device to answer wins. Everything but the sweep runs on
// the thread that owns this object.
class Discovery : public QObject {
    Q_OBJECT
public:
    enum LinkKindValue { kSerial = 0, kTcp = 1 };

    explicit Discovery(const DiscoveryEndpoints &endpoints, const DiscoveryTimings &timings = {},
                       QObject *parent = nullptr);
    ~Discovery() override;

    // At window creation: the serial sweep and the UDP search.
    void startDiscovery();
    // At window show: the TCP probe starts ticking.
    void startProbing();
    // At close: timers, UDP socket, probe and sweep thread; returns once the thread is joined.
    void stop();

    // Restarts the search: the found device is forgotten and everything resumes.
    void refleshBtnClick();
    // What a connect does first: pause, no more probes, and both probe endpoints closed so
    // the link can take the port the sweep found.
    void pauseForLink();
    void addFoundDevice(const QString &name, int kind);
    void setRefreshEnabled(bool on);

    // The TCP probe step.
    void IPSearchTimerTimer();
    // One datagram that reached the search socket.
    void takeSearchReply(const QByteArray &datagram, const QHostAddress &sender);
    // Bytes arrived on this swept port.
    void ComPort1RxChar(const QString &portName);

    const DiscoveryEndpoints &endpoints() const { return m_endpoints; }
    QStringList foundDeviceList() const { return m_foundDeviceList; }
    int linkKind() const { return m_linkKind; }
    bool deviceFound() const { return m_deviceFound; }
    bool searchPaused() const { return m_searchPaused; }
    QString candidateIp() const { return m_candidateIp; }
    QStringList probedIpList() const { return m_probedIpList; }
    QStringList serialPortList() const { return m_serialPortList; }
    QString ipLabel() const { return m_ipLabel; }
    bool refreshEnabled() const { return m_refreshEnabled; }
    bool isProbeTimerActive() const { return IPSearchTimer.isActive(); }
    // The local port of the search, once bound; 0 when the bind failed.
    int searchSocketPort() const;
    bool isSweepRunning() const { return m_sweep != nullptr; }

signals:
    void ipLabelChanged(const QString &text);
    void refreshEnabledChanged(bool enabled);
    void deviceFoundChanged();

private:
    void openUdpSocket();
    void sendSearch();
    void readSearchReplies();
    void ClientSocket2Connect();
    void ClientSocket2Read();
    void ClientSocket1Error(QAbstractSocket::SocketError error);
    void setSearchPaused(bool paused);
    void setIpLabel(const QString &text);
    void refillSerialPortList();
    QStringList presentSerialPorts() const;
    bool sweepWanted() const;

    const DiscoveryEndpoints m_endpoints;
    const DiscoveryTimings m_timings;

    QStringList m_serialPortList;
    QStringList m_probedIpList;
    QStringList m_foundDeviceList;
    QString m_candidateIp;
    QString m_ipLabel = QStringLiteral("127.0.0.1");
    int m_linkKind = kSerial;
    bool m_deviceFound = false;
    bool m_searchPaused = false;
    bool m_refreshEnabled = true;

    QUdpSocket m_udpSocket;
    QTimer m_searchTimer;
    QTimer IPSearchTimer;
    QTimer m_rescanTimer;
    QTcpSocket ClientSocket2;
    std::unique_ptr<NetClient> probeClient;
    QElapsedTimer m_lastProbeOpen;

    QThread *m_sweepThread = nullptr;
    SerialSweep *m_sweep = nullptr; // lives on m_sweepThread, deleted there
};

} // namespace q48

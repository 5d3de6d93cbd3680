#pragma once

#include "connection/Discovery.h"
#include "connection/Endpoints.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>

class QTcpSocket;
class QThread;

namespace q48 {

class SerialSweep;

// Lists every mixer that answers, where Discovery stops at the first: the same UDP search,
// each answering address probed over TCP (several at once), and the serial sweep left running.
// For "which mixers are there", not for connecting.
class DiscoveryScan : public QObject {
    Q_OBJECT
public:
    explicit DiscoveryScan(const DiscoveryEndpoints &endpoints, const DiscoveryTimings &timings = {},
                           QObject *parent = nullptr);
    ~DiscoveryScan() override;

    // False when the search port cannot be bound; the serial sweep still runs.
    bool start();
    // Returns with the sweep thread joined and every probe closed.
    void stop();

    // In the order they answered; each once.
    QStringList devices() const { return m_devices; }
    QString bindError() const { return m_bindError; }

signals:
    // kind is Discovery::kTcp (name is the address) or Discovery::kSerial (the port).
    void deviceAnswered(const QString &name, int kind);

private:
    void sendSearch();
    void readReplies();
    void probe(const QString &address);
    void report(const QString &name, int kind);

    const DiscoveryEndpoints m_endpoints;
    const DiscoveryTimings m_timings;
    QUdpSocket m_udpSocket;
    QTimer m_searchTimer;
    // One probe per address; a refused or silent address is not probed again.
    QHash<QString, QTcpSocket *> m_probes;
    QStringList m_devices;
    QString m_bindError;
    QThread *m_sweepThread = nullptr;
    SerialSweep *m_sweep = nullptr;
};

} // namespace q48

#include "Endpoints.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace q48 {

namespace {

const QString kSearchAddress = QStringLiteral("search-address");
const QString kSearchPort = QStringLiteral("search-port");
const QString kUdpPort = QStringLiteral("udp-port");
const QString kTcpPort = QStringLiteral("tcp-port");
const QString kSerialPorts = QStringLiteral("serial-ports");

// A port option: 1..65535, or 0 where the option allows "any free port".
bool readPort(const QCommandLineParser &parser, const QString &name, bool allowZero, int *port,
              QString *error)
{
    if (!parser.isSet(name))
        return true;
    const QString text = parser.value(name).trimmed();
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    const int lowest = allowZero ? 0 : 1;
    if (!ok || value < lowest || value > 65535) {
        *error = QStringLiteral("--%1: \"%2\" is not a port number (%3 to 65535).")
                     .arg(name, parser.value(name), QString::number(lowest));
        return false;
    }
    *port = value;
    return true;
}

} // namespace

void addEndpointOptions(QCommandLineParser &parser)
{
    parser.addOption({kSearchAddress,
                      QStringLiteral("IPv4 address the UDP search is sent to (default 255.255.255.255)."),
                      QStringLiteral("ADDR")});
    parser.addOption(
        {kSearchPort, QStringLiteral("UDP port the search is sent to (default 8000)."), QStringLiteral("N")});
    parser.addOption(
        {kUdpPort, QStringLiteral("Local UDP port for the search and its replies (default 8000, 0 = any)."),
         QStringLiteral("N")});
    parser.addOption(
        {kTcpPort, QStringLiteral("TCP port of the mixer (default 5000)."), QStringLiteral("N")});
    parser.addOption({kSerialPorts,
                      QStringLiteral("Comma-separated serial ports to sweep instead of the machine's own; "
                                     "an empty value sweeps none."),
                      QStringLiteral("LIST")});
}

DiscoveryEndpoints endpointsFromParser(const QCommandLineParser &parser, QString *error)
{
    DiscoveryEndpoints endpoints;
    QString problem;

    if (parser.isSet(kSearchAddress)) {
        const QString text = parser.value(kSearchAddress).trimmed();
        QHostAddress address;
        if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol) {
            problem = QStringLiteral("--search-address: \"%1\" is not an IPv4 address.")
                          .arg(parser.value(kSearchAddress));
        } else {
            endpoints.searchAddress = address.toString();
        }
    }
    if (problem.isEmpty())
        readPort(parser, kSearchPort, false, &endpoints.searchPort, &problem);
    if (problem.isEmpty())
        readPort(parser, kUdpPort, true, &endpoints.udpPort, &problem);
    if (problem.isEmpty())
        readPort(parser, kTcpPort, false, &endpoints.tcpPort, &problem);
    if (problem.isEmpty() && parser.isSet(kSerialPorts)) {
        QStringList ports;
        for (const QString &part : parser.value(kSerialPorts).split(QLatin1Char(',')))
            if (!part.trimmed().isEmpty())
                ports << part.trimmed();
        endpoints.serialPorts = ports;
    }

    if (error)
        *error = problem;
    return problem.isEmpty() ? endpoints : DiscoveryEndpoints{};
}

} // namespace q48

#pragma once

#include "link/CommandCodes.h"

#include <QString>
#include <QStringList>
#include <optional>

class QCommandLineParser;

namespace q48 {

// Where discovery looks and where it connects. The defaults are the mixer's own; tests and
// shared machines point them at loopback and at pseudo-terminals instead.
struct DiscoveryEndpoints {
    QString searchAddress = QStringLiteral("255.255.255.255");
    int searchPort = kDefaultSearchPort;
    // Local port the search is sent from and its replies arrive on; 0 takes any free port.
    int udpPort = kDefaultUdpPort;
    // The mixer's TCP port, for the probe and for the link.
    int tcpPort = kDefaultTcpPort;
    // Replaces the enumeration of the machine's serial ports; an empty list sweeps nothing.
    std::optional<QStringList> serialPorts;
};

// The options --search-address, --search-port, --udp-port, --tcp-port and --serial-ports,
// shared by the window and the command line.
void addEndpointOptions(QCommandLineParser &parser);

// Reads the options added above. On a bad value returns the defaults and sets *error to a
// text naming the option and what is wrong with it; otherwise clears *error.
DiscoveryEndpoints endpointsFromParser(const QCommandLineParser &parser, QString *error);

} // namespace q48

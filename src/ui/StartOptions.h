#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <optional>

namespace q48 {

// What the command line can change. Discovery normally broadcasts to 255.255.255.255:8000 and
// probes every serial port; tests and demos point it at loopback and an explicit port list.
struct StartOptions {
    bool engineering = false;
    QHostAddress searchAddress{QStringLiteral("255.255.255.255")};
    quint16 searchPort = 8000;
    quint16 udpPort = 8000;
    quint16 tcpPort = 5000;
    // Replaces the enumerated serial ports when set; an empty list means "probe none".
    std::optional<QStringList> serialPorts;
};

// Parses the arguments (program name first). On a bad value returns nothing and sets `error` to
// a message naming the option; --help and --version come back as `helpText`.
std::optional<StartOptions> parseStartOptions(const QStringList &arguments, QString *error,
                                              QString *helpText);

} // namespace q48

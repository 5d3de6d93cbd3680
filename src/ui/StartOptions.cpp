#include "StartOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace q48 {

namespace {
bool parsePort(const QString &text, quint16 *port)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return false;
    *port = static_cast<quint16>(value);
    return true;
}
} // namespace

std::optional<StartOptions> parseStartOptions(const QStringList &arguments, QString *error, QString *helpText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Q48 mixer service tool: firmware update and presets."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption engineering(QStringLiteral("engineering"),
                                         QStringLiteral("Show the DSP read-back and C-array export page."));
    const QCommandLineOption searchAddress(QStringLiteral("search-address"),
                                           QStringLiteral("Address the UDP search is sent to."),
                                           QStringLiteral("address"), QStringLiteral("255.255.255.255"));
    const QCommandLineOption searchPort(QStringLiteral("search-port"),
                                        QStringLiteral("Port the UDP search is sent to."),
                                        QStringLiteral("port"), QStringLiteral("8000"));
    const QCommandLineOption udpPort(QStringLiteral("udp-port"),
                                     QStringLiteral("Local port for search replies."), QStringLiteral("port"),
                                     QStringLiteral("8000"));
    const QCommandLineOption tcpPort(QStringLiteral("tcp-port"), QStringLiteral("Mixer TCP port."),
                                     QStringLiteral("port"), QStringLiteral("5000"));
    const QCommandLineOption serialPorts(
        QStringLiteral("serial-ports"),
        QStringLiteral("Comma-separated serial ports to probe instead of all; empty probes none."),
        QStringLiteral("list"));
    parser.addOptions({engineering, searchAddress, searchPort, udpPort, tcpPort, serialPorts});

    if (!parser.parse(arguments)) {
        if (error)
            *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        if (helpText)
            *helpText = parser.isSet(help) ? parser.helpText()
                                           : QCoreApplication::applicationName() + QLatin1Char(' ') +
                                                 QCoreApplication::applicationVersion();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        if (error)
            *error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return std::nullopt;
    }

    StartOptions options;
    options.engineering = parser.isSet(engineering);

    const QString address = parser.value(searchAddress).trimmed();
    if (!options.searchAddress.setAddress(address) ||
        options.searchAddress.protocol() != QAbstractSocket::IPv4Protocol) {
        if (error)
            *error = QStringLiteral("--search-address needs an IPv4 address, not \"%1\".").arg(address);
        return std::nullopt;
    }
    const struct {
        const QCommandLineOption &option;
        quint16 *target;
    } ports[] = {{searchPort, &options.searchPort}, {udpPort, &options.udpPort}, {tcpPort, &options.tcpPort}};
    for (const auto &p : ports) {
        if (!parsePort(parser.value(p.option), p.target)) {
            if (error)
                *error = QStringLiteral("--%1 needs a port number from 1 to 65535, not \"%2\".")
                             .arg(p.option.names().constFirst(), parser.value(p.option));
            return std::nullopt;
        }
    }
    if (parser.isSet(serialPorts)) {
        QStringList list;
        for (const QString &name : parser.value(serialPorts).split(QLatin1Char(','))) {
            if (!name.trimmed().isEmpty())
                list << name.trimmed();
        }
        options.serialPorts = list;
    }
    return options;
}

} // namespace q48

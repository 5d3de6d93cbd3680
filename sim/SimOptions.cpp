#include "SimOptions.h"

#include <QCommandLineParser>

#include <cstdio>

namespace q48::sim {

bool SimOptions::parse(const QStringList &arguments, SimOptions *out, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated Q48 mixer: the device side of the Q48 link protocol over TCP, UDP search "
                       "and a pseudo-terminal serial port, with fault injection.\n\n"
                       "On start it prints one line per link it serves (tcp ADDR:PORT, udp PORT, serial "
                       "PATH), then 'ready'. SIGTERM or SIGINT stop it after writing the summary.\n\n"
                       "Faults (--fault NAME[:ARGS], repeatable, also per packet; images 0..3, packets and "
                       "kinds as on the "
                       "wire):\n") +
        FaultSet::helpLines().join(QLatin1Char('\n')));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("bind"), QStringLiteral("Address for the TCP and UDP links (default 127.0.0.1)."),
         QStringLiteral("addr"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("tcp-port"), QStringLiteral("TCP link port (default 5000, 0 = any free port)."),
         QStringLiteral("port"), QStringLiteral("5000")},
        {QStringLiteral("no-tcp"), QStringLiteral("Do not serve the TCP link.")},
        {QStringLiteral("udp-port"), QStringLiteral("UDP search port (default 8000, 0 = any free port)."),
         QStringLiteral("port"), QStringLiteral("8000")},
        {QStringLiteral("no-udp"), QStringLiteral("Do not answer the UDP search.")},
        {QStringLiteral("serial-pty"),
         QStringLiteral("Serve the serial link on a new pseudo-terminal; its slave is linked at PATH."),
         QStringLiteral("path")},
        {QStringLiteral("pace"), QStringLiteral("Pace what the device sends on the serial link to 19200 baud "
                                                "8N1 (1920 bytes/s).")},
        {QStringLiteral("utype"), QStringLiteral("Device variant 0 or 1; 1 makes Scene presets 3939 bytes."),
         QStringLiteral("n"), QStringLiteral("0")},
        {QStringLiteral("reboot-seconds"), QStringLiteral("Silence after image 0 is programmed (default 2)."),
         QStringLiteral("s"), QStringLiteral("2")},
        {QStringLiteral("reboot-noise"), QStringLiteral("Emit stray bytes while rebooting.")},
        {QStringLiteral("exit-with-parent"),
         QStringLiteral("Stop (writing the summary) when standard input reaches end of file.")},
        {QStringLiteral("fault"), QStringLiteral("Inject a fault; repeatable; list above."),
         QStringLiteral("name[:args]")},
        {QStringLiteral("record"), QStringLiteral("Append every received frame to FILE as a JSON line."),
         QStringLiteral("file")},
        {QStringLiteral("summary"), QStringLiteral("Write a JSON summary to FILE on exit."),
         QStringLiteral("file")},
        {QStringLiteral("seed"), QStringLiteral("Seed for the random parts of faults (default 48)."),
         QStringLiteral("n"), QStringLiteral("48")},
    });

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        error->clear();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return false;
    }

    SimOptions o;
    const auto number = [&](const char *name, int min, int max, int *target) {
        bool ok = false;
        const int v = parser.value(QLatin1String(name)).toInt(&ok);
        if (!ok || v < min || v > max) {
            *error = QStringLiteral("--%1 must be a number from %2 to %3")
                         .arg(QLatin1String(name))
                         .arg(min)
                         .arg(max);
            return false;
        }
        *target = v;
        return true;
    };

    if (!o.bindAddress.setAddress(parser.value(QStringLiteral("bind")))) {
        *error = QStringLiteral("--bind needs an IP address");
        return false;
    }
    if (!number("tcp-port", 0, 65535, &o.tcpPort) || !number("udp-port", 0, 65535, &o.udpPort) ||
        !number("utype", 0, 1, &o.utype))
        return false;
    int seed = 0;
    if (!number("seed", 0, 0x7fffffff, &seed))
        return false;
    o.seed = quint32(seed);
    bool ok = false;
    o.rebootSeconds = parser.value(QStringLiteral("reboot-seconds")).toDouble(&ok);
    if (!ok || o.rebootSeconds < 0 || o.rebootSeconds > 3600) {
        *error = QStringLiteral("--reboot-seconds must be from 0 to 3600");
        return false;
    }
    o.tcp = !parser.isSet(QStringLiteral("no-tcp"));
    o.udp = !parser.isSet(QStringLiteral("no-udp"));
    o.serialPty = parser.value(QStringLiteral("serial-pty"));
    o.pace = parser.isSet(QStringLiteral("pace"));
    o.rebootNoise = parser.isSet(QStringLiteral("reboot-noise"));
    o.exitWithParent = parser.isSet(QStringLiteral("exit-with-parent"));
    o.recordFile = parser.value(QStringLiteral("record"));
    o.summaryFile = parser.value(QStringLiteral("summary"));
    for (const QString &fault : parser.values(QStringLiteral("fault")))
        if (!o.faults.add(fault, error))
            return false;
    if (!o.tcp && !o.udp && o.serialPty.isEmpty()) {
        *error = QStringLiteral("every link is switched off");
        return false;
    }
    *out = o;
    return true;
}

} // namespace q48::sim

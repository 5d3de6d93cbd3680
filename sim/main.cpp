// q48-sim: a simulated Q48 mixer for tests, demos and benchmarks.

#include "Mixer.h"
#include "PtyLink.h"
#include "SimOptions.h"
#include "TcpLink.h"
#include "UdpResponder.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "q48-sim: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Plain C signal handling keeps this portable; the flag is polled from the event loop. Set up
    // first, so a stop that comes while we start still ends with a summary.
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("q48-sim"));

    q48::sim::SimOptions options;
    QString error;
    if (!q48::sim::SimOptions::parse(app.arguments(), &options, &error))
        return error.isEmpty() ? 0 : fail(error + QStringLiteral(" (try --help)"));

    q48::sim::Mixer mixer(options);
    if (!mixer.openEvidence(&error))
        return fail(error);

    q48::sim::OutputChannel::Shaping shaping;
    shaping.garbageBytes = options.faults.garbageBytes;
    shaping.splitMaxDelayMs = options.faults.splitMaxDelayMs;
    shaping.seed = options.seed;

    std::unique_ptr<q48::sim::TcpLink> tcp;
    std::unique_ptr<q48::sim::UdpResponder> udp;
    std::unique_ptr<q48::sim::PtyLink> pty;
    if (options.tcp) {
        tcp = std::make_unique<q48::sim::TcpLink>(mixer, shaping, options.faults.probeSilent);
        if (!tcp->listen(options.bindAddress, quint16(options.tcpPort), &error))
            return fail(error);
    }
    if (options.udp) {
        udp = std::make_unique<q48::sim::UdpResponder>(mixer, tcp ? tcp->port() : quint16(0));
        if (!udp->bind(options.bindAddress, quint16(options.udpPort), &error))
            return fail(error);
    }
    if (!options.serialPty.isEmpty()) {
        q48::sim::OutputChannel::Shaping serialShaping = shaping;
        // 19200 baud, 8N1: ten bit times per byte.
        serialShaping.bytesPerSecond = options.pace ? 1920 : 0;
        pty = std::make_unique<q48::sim::PtyLink>(mixer, serialShaping);
        if (!pty->open(options.serialPty, &error))
            return fail(error);
    }

    if (tcp)
        say(QStringLiteral("tcp %1:%2").arg(options.bindAddress.toString()).arg(tcp->port()));
    if (udp)
        say(QStringLiteral("udp %1").arg(udp->port()));
    if (pty)
        say(QStringLiteral("serial %1").arg(options.serialPty));
    say(QStringLiteral("ready"));

    if (options.exitWithParent) {
        // A parent that dies never stops us; its end of our stdin closing is the one sign left.
        std::thread([] {
            while (std::getchar() != EOF) {
            }
            stopRequested = 1;
        }).detach();
    }

    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &app, [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    stopPoll.start(50);

    if (!stopRequested)
        app.exec();

    pty.reset();
    if (!mixer.writeSummary(&error))
        return fail(error);
    return 0;
}

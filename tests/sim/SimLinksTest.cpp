// Links, start-up and evidence of q48-sim, driven with raw bytes over loopback and a pty.

#include "SimPeer.h"
#include "SimProcess.h"
#include "ToolFrames.h"
#include "link/CommandCodes.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace q48::test {
namespace {

const QByteArray kProbe = QByteArray::fromHex("0120030b00010001f90140");

TEST(SimStartup, HelpDocumentsEveryFaultAndOption)
{
    QProcess p;
    p.start(SimProcess::binaryPath(), {QStringLiteral("--help")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    for (const char *word : {"garbage",
                             "split",
                             "fail-packet",
                             "not-ready",
                             "wrong-image",
                             "stall",
                             "close:N",
                             "close-in-reboot",
                             "dup-ack",
                             "ooo-ack",
                             "export-wrong-size",
                             "export-drop",
                             "stream-delay",
                             "dsp-gaps",
                             "probe-silent",
                             "preset-wrong-size",
                             "dup-request",
                             "--serial-pty",
                             "--pace",
                             "--utype",
                             "--reboot-seconds",
                             "--reboot-noise",
                             "--record",
                             "--summary",
                             "--no-tcp",
                             "--no-udp"})
        EXPECT_TRUE(help.contains(QLatin1String(word))) << word;
}

TEST(SimStartup, RefusesBadArgumentsWithAMessage)
{
    const QList<QStringList> cases = {
        {"--fault", "no-such-fault"},
        {"--fault", "stall"},
        {"--fault", "fail-packet:7:1"},
        {"--tcp-port", "70000"},
        {"--utype", "2"},
        {"--bind", "not-an-address"},
        {"--no-tcp", "--no-udp"},
        {"--reboot-seconds", "x"},
        {"stray"},
        {"--record", "/nonexistent-q48/record.jsonl"},
        {"--summary", "/nonexistent-q48/summary.json"},
    };
    for (const QStringList &args : cases) {
        QProcess p;
        // Free ports first, so a case that wrongly starts takes no fixed port.
        p.start(SimProcess::binaryPath(), QStringList{"--tcp-port", "0", "--udp-port", "0"} + args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_NE(p.exitCode(), 0) << args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().startsWith("q48-sim: ")) << args.join(' ').toStdString();
    }
}

TEST(SimStartup, ReportsABusyPort)
{
    SimProcess first;
    ASSERT_TRUE(first.start()) << first.errorString().toStdString();
    SimProcess second({QStringLiteral("--tcp-port"), QString::number(first.tcpPort())});
    EXPECT_FALSE(second.start());
    EXPECT_TRUE(second.errorString().contains(QLatin1String("cannot listen")))
        << second.errorString().toStdString();
}

TEST(SimTcp, AnswersTheProbeAndServesOneConnectionAtATime)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    ASSERT_NE(sim.tcpPort(), 0);

    auto first = SimPeer::tcp(sim.tcpPort());
    ASSERT_TRUE(first->isOpen());
    first->send(kProbe);
    EXPECT_FALSE(first->readBytes(1).isEmpty());

    auto second = SimPeer::tcp(sim.tcpPort());
    EXPECT_TRUE(second->waitClosed(3000)) << "a second connection must not be served";

    first.reset();
    auto third = SimPeer::tcp(sim.tcpPort());
    third->send(kProbe);
    EXPECT_EQ(third->readFrame(11), kProbe) << "the next connection is served once the first is gone";
}

TEST(SimUdp, AnswersOnlyTheTwelveByteSearch)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
    const QByteArray search(reinterpret_cast<const char *>(kSearchDatagram), sizeof kSearchDatagram);

    for (const QByteArray &datagram : {search.left(11), search + 'x'})
        socket.writeDatagram(datagram, QHostAddress::LocalHost, sim.udpPort());
    EXPECT_FALSE(socket.waitForReadyRead(500)) << "datagrams other than 12 bytes get no reply";

    socket.writeDatagram(search, QHostAddress::LocalHost, sim.udpPort());
    ASSERT_TRUE(socket.waitForReadyRead(5000));
    const QNetworkDatagram reply = socket.receiveDatagram();
    EXPECT_GE(reply.data().size(), 13);
    EXPECT_LE(reply.data().size(), 100);
    EXPECT_EQ(reply.senderPort(), sim.udpPort());
}

TEST(SimSerial, ServesTheProtocolOnThePseudoTerminal)
{
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "the simulator's serial link needs pseudo-terminals";
#endif
    SimProcess sim({QStringLiteral("--no-tcp"), QStringLiteral("--no-udp")});
    sim.enableSerial();
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    auto peer = SimPeer::serial(sim.serialPath());
    ASSERT_TRUE(peer->isOpen()) << sim.serialPath().toStdString();

    peer->send(kProbe);
    EXPECT_EQ(peer->readFrame(11), kProbe);
    // 0x04 and 0x0D pass the line untouched: both occur in firmware traffic.
    peer->send(toolFrame(CMD_PRESET_LIST, 4));
    const QByteArray list = peer->readFrame(395);
    ASSERT_EQ(list.size(), 395);
    EXPECT_EQ(u8(list, 394), kEndMark);
}

TEST(SimSerial, PacedOutputTakesTheTimeOf19200Baud)
{
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "the simulator's serial link needs pseudo-terminals";
#endif
    SimProcess sim({QStringLiteral("--no-tcp"), QStringLiteral("--no-udp"), QStringLiteral("--pace")});
    sim.enableSerial();
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    auto peer = SimPeer::serial(sim.serialPath());
    ASSERT_TRUE(peer->isOpen());

    QElapsedTimer clock;
    clock.start();
    peer->send(toolFrame(CMD_PRESET_LIST, 1));
    ASSERT_EQ(peer->readFrame(779, 10000).size(), 779);
    // 779 bytes at 1920 bytes/s need about 0.4 s; a lower bound cannot be upset by a busy machine.
    EXPECT_GE(clock.elapsed(), 300);
}

TEST(SimParser, ResynchronisesOnGarbageAndBrokenFrames)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    auto peer = SimPeer::tcp(sim.tcpPort());

    QByteArray broken = kProbe;
    broken[10] = 0x41; // no end mark
    // Junk, a stray signature byte, a frame without end mark, a length byte below 11, then a good probe.
    peer->send(QByteArray::fromHex("ff00137e01") + broken + QByteArray::fromHex("01200305") + kProbe);
    EXPECT_EQ(peer->readFrame(11), kProbe);
    EXPECT_TRUE(peer->collect(300).isEmpty()) << "only the good probe is answered";

    sim.stop();
    const QJsonObject summary = sim.summary();
    EXPECT_GT(summary.value(QStringLiteral("droppedBytes")).toInt(), 5);
    EXPECT_GE(summary.value(QStringLiteral("malformedFrames")).toInt(), 2);
    EXPECT_EQ(summary.value(QStringLiteral("probes")).toInt(), 1);
}

TEST(SimEvidence, RecordsEveryReceivedFrameAndWritesTheSummaryOnTerminate)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    auto peer = SimPeer::tcp(sim.tcpPort());
    const QByteArray list = toolFrame(CMD_PRESET_LIST, 2);
    peer->send(kProbe + list);
    ASSERT_EQ(peer->readFrame(11).size(), 11);
    ASSERT_EQ(peer->readFrame(779).size(), 779);

    const QList<QJsonObject> frames = sim.recordedFrames();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0].value(QStringLiteral("command")).toInt(), CMD_PROBE);
    EXPECT_EQ(frames[0].value(QStringLiteral("link")).toString(), QStringLiteral("tcp"));
    EXPECT_EQ(frames[1].value(QStringLiteral("subCode")).toInt(), 2);
    EXPECT_EQ(frames[1].value(QStringLiteral("size")).toInt(), 11);
    EXPECT_EQ(frames[1].value(QStringLiteral("hex")).toString(), QString::fromLatin1(list.toHex()));
    EXPECT_TRUE(frames[1].contains(QStringLiteral("timeMs")));

    EXPECT_TRUE(sim.summary().isEmpty()) << "written on exit only";
    sim.stop();
    const QJsonObject summary = sim.summary();
    EXPECT_EQ(summary.value(QStringLiteral("probes")).toInt(), 1);
    EXPECT_EQ(summary[QStringLiteral("presets")][QStringLiteral("listsSent")].toInt(), 1);
    EXPECT_TRUE(summary.value(QStringLiteral("errors")).toArray().isEmpty());
}

} // namespace
} // namespace q48::test

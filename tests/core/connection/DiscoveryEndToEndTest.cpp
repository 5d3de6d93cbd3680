#include "DiscoveryTestSupport.h"
#include "SimProcess.h"

#include "link/CommandCodes.h"

#include <QJsonObject>
#include <QTest>
#include <gtest/gtest.h>

namespace q48 {
namespace {

using test::SimProcess;

DiscoveryEndpoints towards(const SimProcess &sim)
{
    return test::loopbackEndpoints(sim.tcpPort(), sim.udpPort());
}

int probesRecorded(const SimProcess &sim)
{
    int count = 0;
    for (const QJsonObject &frame : sim.recordedFrames())
        if (frame.value(QStringLiteral("command")).toInt() == CMD_PROBE)
            ++count;
    return count;
}

// A TCP port free on loopback right now, for two simulators that must share one.
quint16 freeTcpPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

TEST(DiscoveryEndToEnd, FindsTheSimulatorOverUdpAndTcp)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    Discovery discovery(towards(sim), test::fastTimings());
    discovery.startDiscovery();
    discovery.startProbing();

    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 10000));
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_EQ(discovery.linkKind(), 1);
    EXPECT_EQ(discovery.ipLabel(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(probesRecorded(sim), 1);
    discovery.stop();
}

TEST(DiscoveryEndToEnd, FindsTheSimulatorOnItsPseudoTerminal)
{
    SimProcess sim({QStringLiteral("--no-udp"), QStringLiteral("--no-tcp")});
    sim.enableSerial();
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    DiscoveryEndpoints endpoints = test::loopbackEndpoints(9);
    endpoints.serialPorts = QStringList{sim.serialPath()};
    Discovery discovery(endpoints, test::fastTimings());
    discovery.startDiscovery();
    discovery.startProbing();

    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 10000));
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{sim.serialPath()});
    EXPECT_EQ(discovery.linkKind(), 0);
    EXPECT_EQ(discovery.ipLabel(), sim.serialPath());
    discovery.stop();
}

TEST(DiscoveryEndToEnd, TheFirstOfTwoAnsweringSimulatorsWins)
{
    SimProcess lan;
    SimProcess serial({QStringLiteral("--no-udp"), QStringLiteral("--no-tcp")});
    serial.enableSerial();
    ASSERT_TRUE(lan.start()) << lan.errorString().toStdString();
    ASSERT_TRUE(serial.start()) << serial.errorString().toStdString();
    DiscoveryEndpoints endpoints = towards(lan);
    endpoints.serialPorts = QStringList{serial.serialPath()};
    Discovery discovery(endpoints, test::fastTimings());
    discovery.startDiscovery();
    discovery.startProbing();

    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 10000));
    const QStringList first = discovery.foundDeviceList();
    const int kind = discovery.linkKind();
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first.first(), kind == 1 ? QStringLiteral("127.0.0.1") : serial.serialPath());

    // Both go on answering what is already under way; the find stays as it is.
    QTest::qWait(test::fastTimings().passGapMs * 3);
    EXPECT_EQ(discovery.foundDeviceList(), first);
    EXPECT_EQ(discovery.linkKind(), kind);
    discovery.stop();
}

TEST(DiscoveryEndToEnd, ASilentSimulatorIsProbedOnceAndHoldsTheOthersBackUntilARestart)
{
    const quint16 tcpPort = freeTcpPort();
    const QStringList sharedPort{QStringLiteral("--tcp-port"), QString::number(tcpPort)};
    SimProcess silent(sharedPort + QStringList{QStringLiteral("--no-udp"), QStringLiteral("--fault"),
                                               QStringLiteral("probe-silent")});
    SimProcess mixer(sharedPort + QStringList{QStringLiteral("--bind"), QStringLiteral("127.0.0.2")});
    ASSERT_TRUE(silent.start()) << silent.errorString().toStdString();
    if (!mixer.start())
        GTEST_SKIP() << "no simulator on 127.0.0.2: " << mixer.errorString().toStdString();

    // The silent one is the first candidate; then the search reaches the other one.
    DiscoveryEndpoints endpoints = towards(mixer);
    endpoints.searchAddress = QStringLiteral("127.0.0.2");
    Discovery discovery(endpoints, test::fastTimings());
    discovery.takeSearchReply(QByteArray(20, '\x01'), QHostAddress(QStringLiteral("127.0.0.1")));
    discovery.startProbing();
    ASSERT_TRUE(QTest::qWaitFor([&] { return probesRecorded(silent) == 1; }, 10000));
    discovery.startDiscovery();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return discovery.candidateIp() == QStringLiteral("127.0.0.2"); }, 10000));

    QTest::qWait(test::fastTimings().probeSpacingMs * 4);
    EXPECT_EQ(probesRecorded(silent), 1) << "an address is probed once per search";
    EXPECT_EQ(probesRecorded(mixer), 0) << "the unanswered probe holds every other back";
    EXPECT_FALSE(discovery.deviceFound());

    discovery.refleshBtnClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 10000));
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("127.0.0.2")});
    EXPECT_EQ(probesRecorded(silent), 1);
    discovery.stop();
}

} // namespace
} // namespace q48

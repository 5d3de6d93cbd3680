#include "DiscoveryTestSupport.h"

#include "link/CommandCodes.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace q48 {
namespace {

using test::fastTimings;
using test::loopbackEndpoints;
using test::ProbeListener;

const QByteArray kProbeOnWire = QByteArray::fromHex("0120030B00010001F90140");
const QHostAddress kLoopback1(QStringLiteral("127.0.0.1"));
const QHostAddress kLoopback2(QStringLiteral("127.0.0.2"));

// A TCP port on loopback with nobody listening: connects to it are refused.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

QByteArray reply(int size)
{
    return QByteArray(size, '\x55');
}

// ---- state logic, no network ----

struct DatagramCase {
    int size;
    bool becomesCandidate;
};

class SearchReplySize : public ::testing::TestWithParam<DatagramCase> {};

TEST_P(SearchReplySize, OnlyThirteenToHundredBytesMakeACandidate)
{
    Discovery discovery(loopbackEndpoints(closedPort()), fastTimings());
    discovery.takeSearchReply(reply(GetParam().size), kLoopback1);
    EXPECT_EQ(discovery.candidateIp(), GetParam().becomesCandidate ? QStringLiteral("127.0.0.1") : QString());
}

INSTANTIATE_TEST_SUITE_P(Sizes, SearchReplySize,
                         ::testing::Values(DatagramCase{0, false}, DatagramCase{12, false},
                                           DatagramCase{13, true}, DatagramCase{100, true},
                                           DatagramCase{101, false}));

TEST(DiscoveryState, LabelReadsLoopbackUntilTheFirstFind)
{
    Discovery discovery(loopbackEndpoints(closedPort()), fastTimings());
    EXPECT_EQ(discovery.ipLabel(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(discovery.foundDeviceList().isEmpty());
    EXPECT_EQ(discovery.linkKind(), 0);
}

TEST(DiscoveryState, FirstSerialAnswerWinsAndKeepsOneEntry)
{
    Discovery discovery(loopbackEndpoints(closedPort()), fastTimings());
    discovery.setRefreshEnabled(false);
    QSignalSpy labels(&discovery, &Discovery::ipLabelChanged);
    QSignalSpy refresh(&discovery, &Discovery::refreshEnabledChanged);

    discovery.ComPort1RxChar(QStringLiteral("COM3"));
    discovery.ComPort1RxChar(QStringLiteral("COM4"));

    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("COM3")});
    EXPECT_EQ(discovery.ipLabel(), QStringLiteral("COM3"));
    EXPECT_EQ(discovery.linkKind(), 0);
    EXPECT_TRUE(discovery.deviceFound());
    EXPECT_TRUE(discovery.searchPaused());
    EXPECT_TRUE(discovery.refreshEnabled());
    EXPECT_EQ(labels.count(), 1);
    ASSERT_EQ(refresh.count(), 1);
    EXPECT_TRUE(refresh.at(0).at(0).toBool());
}

TEST(DiscoveryState, AddFoundDeviceKeepsOneEntryAndComparesWithoutCase)
{
    Discovery discovery(loopbackEndpoints(closedPort()), fastTimings());
    discovery.addFoundDevice(QStringLiteral("COM3"), 0);
    discovery.addFoundDevice(QStringLiteral("192.168.1.20"), 1);
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("192.168.1.20")});
    EXPECT_EQ(discovery.linkKind(), 1);

    QSignalSpy labels(&discovery, &Discovery::ipLabelChanged);
    discovery.addFoundDevice(QStringLiteral("com5"), 0);
    discovery.addFoundDevice(QStringLiteral("COM5"), 1);
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("com5")});
    EXPECT_EQ(discovery.linkKind(), 0);
    EXPECT_EQ(labels.count(), 1);
}

TEST(DiscoveryState, RestartForgetsTheFindButKeepsTheCandidate)
{
    DiscoveryEndpoints endpoints = loopbackEndpoints(closedPort());
    endpoints.serialPorts =
        QStringList{QStringLiteral("/nonexistent/ttyA"), QStringLiteral("/nonexistent/ttyB")};
    Discovery discovery(endpoints, fastTimings());
    discovery.takeSearchReply(reply(20), kLoopback2);
    discovery.ComPort1RxChar(QStringLiteral("/nonexistent/ttyA"));
    // A TCP find recorded on top: a restart must still resume the TCP probe.
    discovery.addFoundDevice(QStringLiteral("127.0.0.2"), 1);
    ASSERT_EQ(discovery.linkKind(), 1);

    QSignalSpy labels(&discovery, &Discovery::ipLabelChanged);
    discovery.refleshBtnClick();

    EXPECT_FALSE(discovery.deviceFound());
    EXPECT_FALSE(discovery.searchPaused());
    EXPECT_EQ(discovery.linkKind(), 0);
    EXPECT_TRUE(discovery.isProbeTimerActive());
    EXPECT_TRUE(discovery.foundDeviceList().isEmpty());
    EXPECT_TRUE(discovery.probedIpList().isEmpty());
    EXPECT_EQ(discovery.serialPortList(), *endpoints.serialPorts);
    EXPECT_EQ(discovery.ipLabel(), QString());
    ASSERT_EQ(labels.count(), 1);
    EXPECT_EQ(labels.at(0).at(0).toString(), QString());
    EXPECT_EQ(discovery.candidateIp(), QStringLiteral("127.0.0.2"));
    discovery.stop();
}

// ---- the TCP probe against a loopback listener ----

TEST(DiscoveryProbe, SendsTheProbeFrameAndRecordsTheAnsweringAddress)
{
    ProbeListener mixer(ProbeListener::Answer::Reply);
    ASSERT_TRUE(mixer.ok());
    Discovery discovery(loopbackEndpoints(mixer.port()), fastTimings());
    QSignalSpy found(&discovery, &Discovery::deviceFoundChanged);
    discovery.takeSearchReply(reply(13), kLoopback1);
    discovery.startProbing();

    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 5000));
    EXPECT_EQ(mixer.received, kProbeOnWire);
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_EQ(discovery.ipLabel(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(discovery.linkKind(), 1);
    EXPECT_TRUE(discovery.searchPaused());
    EXPECT_FALSE(discovery.isProbeTimerActive());
    EXPECT_EQ(found.count(), 1);
    discovery.stop();
}

TEST(DiscoveryProbe, AProbedAddressNoLongerReplacesTheCandidate)
{
    ProbeListener mixer(ProbeListener::Answer::HangUp);
    ASSERT_TRUE(mixer.ok());
    Discovery discovery(loopbackEndpoints(mixer.port()), fastTimings());
    discovery.takeSearchReply(reply(13), kLoopback1);
    discovery.IPSearchTimerTimer();
    ASSERT_EQ(discovery.probedIpList(), QStringList{QStringLiteral("127.0.0.1")});

    discovery.takeSearchReply(reply(13), kLoopback2);
    discovery.takeSearchReply(reply(13), kLoopback1);
    EXPECT_EQ(discovery.candidateIp(), QStringLiteral("127.0.0.2"));
    discovery.stop();
}

TEST(DiscoveryProbe, TheTickNeitherWaitsNorProbesAgainWithinTheSpacing)
{
    ProbeListener mixer(ProbeListener::Answer::HangUp);
    ASSERT_TRUE(mixer.ok());
    DiscoveryTimings timings = fastTimings();
    timings.probeSpacingMs = 60000;
    Discovery discovery(loopbackEndpoints(mixer.port()), timings);
    discovery.takeSearchReply(reply(13), kLoopback1);

    QElapsedTimer clock;
    clock.start();
    discovery.IPSearchTimerTimer();
    // Well short of the spacing: the tick only starts the connect and returns.
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(mixer.connections, 0);

    ASSERT_TRUE(QTest::qWaitFor([&] { return mixer.connections == 1; }, 5000));
    discovery.takeSearchReply(reply(13), kLoopback2);
    discovery.startProbing();
    QTest::qWait(300);
    EXPECT_EQ(discovery.probedIpList(), QStringList{QStringLiteral("127.0.0.1")});
    discovery.stop();
}

TEST(DiscoveryProbe, ARefusedProbeIsClosedAndTheNextAddressIsTried)
{
    ProbeListener second(ProbeListener::Answer::Reply, kLoopback2);
    if (!second.ok())
        GTEST_SKIP() << "127.0.0.2 is not a loopback address here";
    // The same port on 127.0.0.1 has no listener, so the first probe is refused.
    Discovery discovery(loopbackEndpoints(second.port()), fastTimings());
    discovery.takeSearchReply(reply(13), kLoopback1);
    discovery.startProbing();
    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.probedIpList().size() == 1; }, 5000));

    discovery.takeSearchReply(reply(13), kLoopback2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 5000));
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("127.0.0.2")});
    EXPECT_EQ(discovery.probedIpList(),
              (QStringList{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2")}));
    discovery.stop();
}

TEST(DiscoveryProbe, AnUnansweredProbeBlocksFurtherProbesUntilARestart)
{
    ProbeListener silent(ProbeListener::Answer::Silent, kLoopback1);
    ASSERT_TRUE(silent.ok());
    ProbeListener mixer(ProbeListener::Answer::Reply, kLoopback2, silent.port());
    if (!mixer.ok())
        GTEST_SKIP() << "127.0.0.2 is not a loopback address here";
    Discovery discovery(loopbackEndpoints(silent.port()), fastTimings());
    discovery.takeSearchReply(reply(13), kLoopback1);
    discovery.startProbing();
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.received == kProbeOnWire; }, 5000));

    discovery.takeSearchReply(reply(13), kLoopback2);
    QTest::qWait(fastTimings().probeSpacingMs * 3);
    EXPECT_EQ(mixer.connections, 0);
    EXPECT_FALSE(discovery.deviceFound());

    discovery.refleshBtnClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 5000));
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{QStringLiteral("127.0.0.2")});
    discovery.stop();
}

// ---- the UDP search against a loopback socket ----

class DiscoverySearch : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_mixer.bind(kLoopback1, 0)); }

    // Search requests that reached the stand-in mixer since the last call.
    QList<QNetworkDatagram> drain()
    {
        QList<QNetworkDatagram> got;
        while (m_mixer.hasPendingDatagrams())
            got << m_mixer.receiveDatagram();
        return got;
    }

    QUdpSocket m_mixer;
};

TEST_F(DiscoverySearch, RequestsAreSentAndAnswersBecomeCandidates)
{
    Discovery discovery(loopbackEndpoints(closedPort(), m_mixer.localPort()), fastTimings());
    discovery.startDiscovery();
    ASSERT_NE(discovery.searchSocketPort(), 0);

    ASSERT_TRUE(QTest::qWaitFor([&] { return m_mixer.hasPendingDatagrams(); }, 5000));
    const QNetworkDatagram request = drain().first();
    EXPECT_EQ(request.data(), QByteArray(reinterpret_cast<const char *>(kSearchDatagram), 12));

    // The program's own request, echoed, is no answer.
    m_mixer.writeDatagram(request.data(), request.senderAddress(), quint16(request.senderPort()));
    m_mixer.writeDatagram(reply(40), request.senderAddress(), quint16(request.senderPort()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return discovery.candidateIp() == QStringLiteral("127.0.0.1"); }, 5000));
    discovery.stop();
}

TEST_F(DiscoverySearch, APausedSearchNeitherSendsNorTakesAnswers)
{
    Discovery discovery(loopbackEndpoints(closedPort(), m_mixer.localPort()), fastTimings());
    discovery.startDiscovery();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_mixer.hasPendingDatagrams(); }, 5000));
    const QNetworkDatagram request = drain().first();

    discovery.pauseForLink();
    EXPECT_TRUE(discovery.searchPaused());
    EXPECT_FALSE(discovery.isProbeTimerActive());
    drain();
    m_mixer.writeDatagram(reply(40), request.senderAddress(), quint16(request.senderPort()));
    QTest::qWait(fastTimings().searchIntervalMs * 5);
    EXPECT_TRUE(drain().isEmpty());
    EXPECT_EQ(discovery.candidateIp(), QString());

    discovery.refleshBtnClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_mixer.hasPendingDatagrams(); }, 5000));
    discovery.stop();
}

TEST_F(DiscoverySearch, ABusyLocalPortLeavesTheLanSearchIdle)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
    DiscoveryEndpoints endpoints = loopbackEndpoints(closedPort(), m_mixer.localPort());
    endpoints.udpPort = holder.localPort();
    Discovery discovery(endpoints, fastTimings());
    discovery.startDiscovery();

    EXPECT_EQ(discovery.searchSocketPort(), 0);
    QTest::qWait(fastTimings().searchIntervalMs * 4);
    EXPECT_FALSE(m_mixer.hasPendingDatagrams());
    discovery.stop();
}

} // namespace
} // namespace q48

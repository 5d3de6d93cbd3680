#include "DiscoveryTestSupport.h"
#include "FakePrompts.h"
#include "PtyPair.h"
#include "SimProcess.h"

#include "connection/ConnectionManager.h"
#include "link/CommandCodes.h"
#include "link/LinkCore.h"
#include "link/LinkFrame.h"

#include <QJsonObject>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace q48 {
namespace {

using test::FakePrompts;
using test::SimProcess;

quint16 freePort(bool udp)
{
    if (udp) {
        QUdpSocket socket;
        socket.bind(QHostAddress::LocalHost, 0);
        return socket.localPort();
    }
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// The first frame the simulator got on its link, leaving out discovery's search and probes.
QJsonObject firstLinkFrame(const SimProcess &sim)
{
    for (const QJsonObject &frame : sim.recordedFrames())
        if (frame.value(QStringLiteral("link")).toString() != QLatin1String("udp") &&
            frame.value(QStringLiteral("command")).toInt() != CMD_PROBE)
            return frame;
    return {};
}

class Connection : public ::testing::Test {
protected:
    void build(const DiscoveryEndpoints &endpoints)
    {
        m_discovery = std::make_unique<Discovery>(endpoints, test::fastTimings());
        m_manager = std::make_unique<ConnectionManager>(m_link, *m_discovery, m_prompts, endpoints, [this] {
            m_link.sendFrame(LinkFrame::build(CMD_PRESET_LIST, 1));
        });
        m_leds = std::make_unique<QSignalSpy>(m_manager.get(), &ConnectionManager::ledChanged);
    }
    void startSearch()
    {
        m_discovery->startDiscovery();
        m_discovery->startProbing();
    }
    void TearDown() override
    {
        if (m_manager)
            m_manager->releaseLink();
        if (m_discovery)
            m_discovery->stop();
    }

    // Back to a running search with nothing connected, as after a user disconnect.
    void expectSearchingAgain()
    {
        EXPECT_EQ(m_link.activeLink(), nullptr);
        EXPECT_FALSE(m_manager->isConnected());
        EXPECT_FALSE(m_manager->ledActive());
        EXPECT_EQ(m_manager->caption(), QStringLiteral("Connect"));
        EXPECT_FALSE(m_discovery->searchPaused());
        EXPECT_TRUE(m_discovery->isProbeTimerActive());
        EXPECT_TRUE(m_discovery->refreshEnabled());
    }

    FakePrompts m_prompts;
    LinkCore m_link{m_prompts};
    std::unique_ptr<Discovery> m_discovery;
    std::unique_ptr<ConnectionManager> m_manager;
    std::unique_ptr<QSignalSpy> m_leds;
};

TEST_F(Connection, APressWithNothingFoundOnlySaysSo)
{
    build(test::loopbackEndpoints(freePort(false)));
    m_manager->connectButtonClick();
    EXPECT_EQ(m_prompts.messages(), QStringList{QStringLiteral("has not Devices")});
    EXPECT_EQ(m_link.activeLink(), nullptr);
    EXPECT_FALSE(m_discovery->searchPaused());
    EXPECT_EQ(m_leds->count(), 0);
}

TEST_F(Connection, AMissingSerialPortIsNamedAndTheSearchResumes)
{
    const QString missing = QStringLiteral("/nonexistent/ttyQ48");
    build(test::loopbackEndpoints(freePort(false)));
    m_discovery->addFoundDevice(missing, 0);
    m_manager->connectButtonClick();

    ASSERT_TRUE(QTest::qWaitFor([&] { return m_prompts.messages().size() == 1; }, 5000));
    const QString text = m_prompts.messages().first();
    EXPECT_TRUE(text.contains(missing)) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("No such file"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("not present"))) << text.toStdString();
    EXPECT_EQ(m_leds->count(), 0) << "a port that did not open is no connection";
    EXPECT_TRUE(m_discovery->foundDeviceList().isEmpty());
    expectSearchingAgain();
}

TEST_F(Connection, ABusySerialPortIsNamedAsInUse)
{
    test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    QSerialPort holder(pty.path());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    build(test::loopbackEndpoints(freePort(false)));
    m_discovery->addFoundDevice(pty.path(), 0);
    m_manager->connectButtonClick();

    ASSERT_TRUE(QTest::qWaitFor([&] { return m_prompts.messages().size() == 1; }, 5000));
    const QString text = m_prompts.messages().first();
    EXPECT_TRUE(text.contains(pty.path())) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("in use"))) << text.toStdString();
    EXPECT_EQ(m_leds->count(), 0);
    expectSearchingAgain();
}

TEST_F(Connection, ARefusedTcpConnectIsReportedAndTheSearchResumes)
{
    const quint16 closed = freePort(false);
    build(test::loopbackEndpoints(closed));
    m_discovery->addFoundDevice(QStringLiteral("127.0.0.1"), 1);
    m_manager->connectButtonClick();

    ASSERT_TRUE(QTest::qWaitFor([&] { return m_prompts.messages().size() == 1; }, 5000));
    const QString text = m_prompts.messages().first();
    EXPECT_TRUE(text.contains(QStringLiteral("127.0.0.1 port %1").arg(closed))) << text.toStdString();
    EXPECT_EQ(m_leds->count(), 0);
    expectSearchingAgain();
}

TEST_F(Connection, ConnectOverTcpRequestsTheListThenDisconnectSearchesAgain)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    build(test::loopbackEndpoints(sim.tcpPort(), sim.udpPort()));
    startSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_discovery->deviceFound(); }, 10000));

    m_manager->connectButtonClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_manager->isConnected(); }, 10000));
    EXPECT_TRUE(m_manager->ledActive());
    EXPECT_EQ(m_manager->caption(), QStringLiteral("Disconnect"));
    EXPECT_FALSE(m_discovery->refreshEnabled());
    EXPECT_TRUE(m_discovery->searchPaused());
    EXPECT_FALSE(m_discovery->isProbeTimerActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !firstLinkFrame(sim).isEmpty(); }, 5000));
    EXPECT_EQ(firstLinkFrame(sim).value(QStringLiteral("command")).toInt(), CMD_PRESET_LIST);
    EXPECT_EQ(firstLinkFrame(sim).value(QStringLiteral("subCode")).toInt(), 1);

    m_manager->connectButtonClick();
    EXPECT_TRUE(m_prompts.messages().isEmpty());
    EXPECT_EQ(m_discovery->ipLabel(), QString());
    EXPECT_TRUE(m_discovery->foundDeviceList().isEmpty());
    expectSearchingAgain();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_discovery->deviceFound(); }, 10000));
    EXPECT_EQ(m_discovery->foundDeviceList(), QStringList{QStringLiteral("127.0.0.1")});
}

TEST_F(Connection, ConnectOverTheSweptSerialPortRequestsTheList)
{
    SimProcess sim({QStringLiteral("--no-udp"), QStringLiteral("--no-tcp")});
    sim.enableSerial();
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    DiscoveryEndpoints endpoints = test::loopbackEndpoints(9);
    endpoints.serialPorts = QStringList{sim.serialPath()};
    build(endpoints);
    startSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_discovery->deviceFound(); }, 10000));

    // The sweep still holds the port it found; the press must free it before the link opens it.
    m_manager->connectButtonClick();
    EXPECT_TRUE(m_manager->isConnected()) << m_prompts.messages().join('\n').toStdString();
    EXPECT_EQ(m_manager->caption(), QStringLiteral("Disconnect"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !firstLinkFrame(sim).isEmpty(); }, 5000));
    EXPECT_EQ(firstLinkFrame(sim).value(QStringLiteral("command")).toInt(), CMD_PRESET_LIST);
    EXPECT_EQ(firstLinkFrame(sim).value(QStringLiteral("subCode")).toInt(), 1);
}

TEST_F(Connection, AMixerThatHangsUpReleasesTheLinkAndIsFoundAgain)
{
    const QStringList ports{QStringLiteral("--tcp-port"), QString::number(freePort(false)),
                            QStringLiteral("--udp-port"), QString::number(freePort(true))};
    auto sim = std::make_unique<SimProcess>(ports);
    ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    build(test::loopbackEndpoints(sim->tcpPort(), sim->udpPort()));
    startSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_discovery->deviceFound(); }, 10000));
    m_manager->connectButtonClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_manager->isConnected(); }, 10000));

    sim->stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_prompts.messages().size() == 1; }, 10000));
    EXPECT_TRUE(m_prompts.messages().first().contains(QLatin1String("connection to 127.0.0.1")));
    EXPECT_TRUE(m_prompts.messages().first().contains(QLatin1String("was lost")));
    expectSearchingAgain();

    sim = std::make_unique<SimProcess>(ports);
    ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_discovery->deviceFound(); }, 10000));
    m_manager->connectButtonClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_manager->isConnected(); }, 10000));
}

} // namespace
} // namespace q48

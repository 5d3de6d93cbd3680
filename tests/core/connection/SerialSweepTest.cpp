#include "DiscoveryTestSupport.h"
#include "PtyPair.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>
#include <gtest/gtest.h>

namespace q48 {
namespace {

using test::PtyPair;

const QByteArray kProbeOnWire = QByteArray::fromHex("0120030B00010001F90140");

Discovery *makeSweep(const QStringList &ports, int portStepMs, int passGapMs)
{
    DiscoveryEndpoints endpoints = test::loopbackEndpoints(9);
    endpoints.serialPorts = ports;
    DiscoveryTimings timings = test::fastTimings();
    timings.portStepMs = portStepMs;
    timings.passGapMs = passGapMs;
    return new Discovery(endpoints, timings);
}

TEST(SerialSweep, AReplyCountsForThePortItArrivedOnEvenWhenHandledLate)
{
    PtyPair first, last;
    ASSERT_TRUE(first.ok() && last.ok());
    std::unique_ptr<Discovery> discovery(
        makeSweep({first.path(), QStringLiteral("/nonexistent/ttyQ48"), last.path()}, 400, 60000));
    discovery->startDiscovery();

    // The event loop does not run from here on, as when the window is busy: the sweep goes on.
    ASSERT_EQ(last.readFromPort(11, 5000), kProbeOnWire);
    EXPECT_TRUE(first.readFromPort(1, 0).isEmpty());
    last.writeToPort(QByteArray(3, '\x01'));
    // The absent port in between is skipped.
    ASSERT_EQ(first.readFromPort(11, 5000), kProbeOnWire);

    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery->deviceFound(); }, 5000));
    EXPECT_EQ(discovery->foundDeviceList(), QStringList{last.path()});
    EXPECT_EQ(discovery->ipLabel(), last.path());
    EXPECT_EQ(discovery->linkKind(), 0);
    discovery->stop();
}

TEST(SerialSweep, StopJoinsTheSweepAtOnceAndReleasesThePort)
{
    PtyPair port;
    ASSERT_TRUE(port.ok());
    std::unique_ptr<Discovery> discovery(makeSweep({port.path()}, 60000, 60000));
    discovery->startDiscovery();
    ASSERT_EQ(port.readFromPort(11, 5000), kProbeOnWire);

    QElapsedTimer clock;
    clock.start();
    discovery->stop();
    // Far below the minute the sweep would otherwise sit in its wait.
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(discovery->isSweepRunning());

    QSerialPort again(port.path());
    EXPECT_TRUE(again.open(QIODevice::ReadWrite)) << again.errorString().toStdString();
}

TEST(SerialSweep, PauseForLinkFreesThePortAndStopsTheSweep)
{
    PtyPair port;
    ASSERT_TRUE(port.ok());
    std::unique_ptr<Discovery> discovery(makeSweep({port.path()}, 20, 50));
    discovery->startDiscovery();
    ASSERT_EQ(port.readFromPort(11, 5000), kProbeOnWire);

    discovery->pauseForLink();
    QSerialPort link(port.path());
    EXPECT_TRUE(link.open(QIODevice::ReadWrite)) << link.errorString().toStdString();
    link.close();
    EXPECT_TRUE(port.readFromPort(1, 400).isEmpty());

    discovery->refleshBtnClick();
    EXPECT_EQ(port.readFromPort(11, 5000), kProbeOnWire);
    discovery->stop();
}

} // namespace
} // namespace q48

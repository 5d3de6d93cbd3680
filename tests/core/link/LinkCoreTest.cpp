#include "ByteLiterals.h"
#include "link/LinkCore.h"
#include "link/ComClient.h"
#include "link/CommandCodes.h"
#include "link/NetClient.h"
#include "link/PumpWait.h"
#include "link/SerialPortList.h"

#include "FakePrompts.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <functional>

using namespace q48;

namespace {

using q48::test::bytes;

QByteArray presetWritten(int kind)
{
    return bytes({0x01, 0x20, 0x03, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x33, kind, 0x00, 0x40});
}

const QByteArray kProbe = bytes({0x01, 0x20, 0x03, 0x0B, 0x00, 0x01, 0x00, 0x01, 0xF9, 0x01, 0x40});

bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Collects the frames LinkCore dispatches for one routed command.
struct LinkFixture : ::testing::Test {
    test::FakePrompts prompts;
    LinkCore core{prompts};
    QList<QByteArray> frames;

    void SetUp() override
    {
        core.dispatcher().setHandler(CMD_PRESET_WRITTEN, [this](const QByteArray &f) { frames << f; });
    }
};

// --- Wiring inside LinkCore -------------------------------------------------------------------

using LinkCoreWiring = LinkFixture;

TEST_F(LinkCoreWiring, AcceptedFramesReachTheDispatcher)
{
    core.assembler().feed(presetWritten(1) + kProbe + presetWritten(2));
    EXPECT_EQ(frames, QList<QByteArray>({presetWritten(1), presetWritten(2)}));
}

TEST_F(LinkCoreWiring, DspPacketResetsTheWatchdog)
{
    core.watchdog().startWatchdog();
    for (int i = 0; i < 3; ++i)
        core.watchdog().tmrcheckerTimer();
    QByteArray dsp(kDspFrameSize, '\0');
    dsp.replace(0, 10, bytes({0x01, 0x20, 0x03, 0x00, 0x00, 0x01, 0x00, 0x01, 0xF2, 0x02}));
    core.assembler().feed(dsp);
    EXPECT_EQ(core.watchdog().waitCounter(), 0);
    core.watchdog().tmrcheckerTimer();
    EXPECT_TRUE(core.watchdog().isRunning());
    core.watchdog().stopWatchdog();
}

TEST_F(LinkCoreWiring, NothingIsSentWithoutALink)
{
    EXPECT_FALSE(core.isLinkConnected());
    EXPECT_FALSE(core.sendFrame(kProbe));
    EXPECT_FALSE(core.openLink(LinkCore::TcpLink, QStringLiteral("127.0.0.1")));
    EXPECT_FALSE(core.openLink(7, QStringLiteral("127.0.0.1:5000")));
    EXPECT_EQ(core.activeLink(), nullptr);
}

TEST_F(LinkCoreWiring, UtypeSelectsTheSceneFrameLength)
{
    core.dispatcher().setHandler(CMD_READ_PRESET, [this](const QByteArray &f) { frames << f; });
    QByteArray scene(3939, '\0');
    scene.replace(0, 10, bytes({0x01, 0x20, 0x03, 0x00, 0x00, 0x01, 0x00, 0x01, 0x32, 0x04}));
    scene[3938] = 0x40;
    core.setUtype(1);
    core.assembler().feed(scene);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].size(), 3939);
}

// --- Endpoints on their own -------------------------------------------------------------------

struct TargetCase {
    const char *text;
    bool accepted;
    const char *host;
    int port;
};

class NetClientTarget : public ::testing::TestWithParam<TargetCase> {};

TEST_P(NetClientTarget, SplitsAtTheFirstColon)
{
    const TargetCase &c = GetParam();
    QTcpSocket socket;
    NetClient client(&socket);
    ASSERT_TRUE(client.setTarget(QStringLiteral("10.0.0.1:1")));
    EXPECT_EQ(client.setTarget(QString::fromLatin1(c.text)), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(client.host(), QLatin1String(c.host));
        EXPECT_EQ(client.port(), c.port);
        EXPECT_EQ(client.target(), QString::fromLatin1(c.text));
    } else {
        EXPECT_EQ(client.target(), QStringLiteral("10.0.0.1:1")); // a refused text changes nothing
    }
}

INSTANTIATE_TEST_SUITE_P(NetClient, NetClientTarget,
                         ::testing::Values(TargetCase{"192.168.1.20:5000", true, "192.168.1.20", 5000},
                                           TargetCase{"127.0.0.1:0", true, "127.0.0.1", 0},
                                           TargetCase{"192.168.1.20", false, "", 0},
                                           TargetCase{"192.168.1.20:", false, "", 0},
                                           TargetCase{":5000", false, "", 0},
                                           TargetCase{"192.168.1.20:50x", false, "", 0},
                                           TargetCase{"192.168.1.20:-1", false, "", 0},
                                           TargetCase{"192.168.1.20:65536", false, "", 0},
                                           TargetCase{"192.168.1.20:5000:1", false, "", 0}));

TEST(NetClient, ReportsPendingBytesAndConnectsAsynchronously)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket socket;
    NetClient client(&socket);
    ASSERT_TRUE(client.setTarget(QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
    client.open();
    EXPECT_FALSE(client.isConnected());
    EXPECT_FALSE(client.setTarget(QStringLiteral("127.0.0.1:1"))); // not while connecting
    ASSERT_TRUE(waitUntil([&] { return client.isConnected() && server.hasPendingConnections(); }));
    QTcpSocket *peer = server.nextPendingConnection();
    peer->write(kProbe);
    peer->flush();
    ASSERT_TRUE(waitUntil([&] { return client.available() == kProbe.size(); }));
    char in[32];
    EXPECT_EQ(client.read(in, sizeof in), kProbe.size());
    EXPECT_EQ(QByteArray(in, int(kProbe.size())), kProbe);
    client.close();
    EXPECT_FALSE(client.isConnected());
}

TEST(SerialPortList, OverrideReplacesEnumeration)
{
    setSerialPortOverride(QStringList{});
    EXPECT_TRUE(listSerialPorts().isEmpty());
    setSerialPortOverride(QStringList{QStringLiteral("ttyQ1"), QStringLiteral("ttyQ0")});
    EXPECT_EQ(listSerialPorts(), QStringList({QStringLiteral("ttyQ1"), QStringLiteral("ttyQ0")}));
    setSerialPortOverride(std::nullopt);
    EXPECT_FALSE(serialPortOverride().has_value());
    EXPECT_EQ(listSerialPorts().size(), QSerialPortInfo::availablePorts().size());
}

// --- TCP link over loopback -------------------------------------------------------------------

struct TcpLink : LinkFixture {
    QTcpServer server;
    QTcpSocket *peer = nullptr;

    void SetUp() override
    {
        LinkFixture::SetUp();
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    }

    void connectLink()
    {
        QSignalSpy up(&core, &LinkCore::linkUp);
        ASSERT_TRUE(
            core.openLink(LinkCore::TcpLink, QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
        EXPECT_FALSE(core.isLinkConnected()); // until the connect completes
        ASSERT_TRUE(up.wait(5000));
        ASSERT_TRUE(core.isLinkConnected());
        ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
        peer = server.nextPendingConnection();
    }

    void peerSends(const QByteArray &data)
    {
        peer->write(data);
        peer->flush();
    }
};

TEST_F(TcpLink, SendsWholeFramesAndAssemblesWhatArrives)
{
    connectLink();
    ASSERT_TRUE(core.sendFrame(kProbe));
    ASSERT_TRUE(waitUntil([&] { return peer->bytesAvailable() >= kProbe.size(); }));
    EXPECT_EQ(peer->readAll(), kProbe);

    const QByteArray split = presetWritten(3);
    peerSends(presetWritten(1) + presetWritten(2) + split.left(5));
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 2; }));
    peerSends(split.mid(5));
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 3; }));
    EXPECT_EQ(frames, QList<QByteArray>({presetWritten(1), presetWritten(2), split}));
}

TEST_F(TcpLink, LargeBurstIsReadInFull)
{
    connectLink();
    QByteArray burst;
    for (int i = 0; i < 3000; ++i) // well over one 8192-byte chunk
        burst += presetWritten(i % 4 + 1);
    peerSends(burst);
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 3000; }));
    EXPECT_EQ(frames.join(), burst);
}

TEST_F(TcpLink, FrameArrivingWhileOneIsHandledIsKept)
{
    connectLink();
    int depth = 0;
    int deepest = 0;
    core.dispatcher().setHandler(CMD_PRESET_WRITTEN, [&](const QByteArray &f) {
        ++depth;
        deepest = std::max(deepest, depth);
        frames << f;
        if (frames.size() == 1) {
            // The next reply comes in while this one is still being handled.
            peerSends(presetWritten(2));
            pumpingWait(100);
        }
        --depth;
    });
    peerSends(presetWritten(1));
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 2; }));
    EXPECT_EQ(frames, QList<QByteArray>({presetWritten(1), presetWritten(2)}));
    EXPECT_EQ(deepest, 1);
}

TEST_F(TcpLink, PeerClosingTakesTheLinkDown)
{
    connectLink();
    QSignalSpy down(&core, &LinkCore::linkDown);
    QSignalSpy failed(&core, &LinkCore::linkFailed);
    peer->disconnectFromHost();
    ASSERT_TRUE(down.wait(5000));
    EXPECT_FALSE(core.isLinkConnected());
    EXPECT_FALSE(core.sendFrame(kProbe));
    EXPECT_EQ(failed.count(), 0);
    EXPECT_NE(core.activeLink(), nullptr); // kept until released
    core.releaseLink();
    EXPECT_EQ(core.activeLink(), nullptr);
}

TEST_F(TcpLink, ReleaseClosesTheConnection)
{
    connectLink();
    QSignalSpy down(&core, &LinkCore::linkDown);
    QSignalSpy peerGone(peer, &QTcpSocket::disconnected);
    EXPECT_FALSE(core.openLink(LinkCore::TcpLink, QStringLiteral("127.0.0.1:1"))); // one link at a time
    core.releaseLink();
    EXPECT_EQ(core.activeLink(), nullptr);
    EXPECT_GE(down.count(), 1);
    EXPECT_TRUE(peerGone.count() > 0 || peerGone.wait(5000));
}

TEST_F(TcpLink, RefusedConnectIsReportedWithItsReason)
{
    const quint16 port = server.serverPort();
    server.close(); // nobody listens there now
    QSignalSpy up(&core, &LinkCore::linkUp);
    QSignalSpy failed(&core, &LinkCore::linkFailed);
    ASSERT_TRUE(core.openLink(LinkCore::TcpLink, QStringLiteral("127.0.0.1:%1").arg(port)));
    ASSERT_TRUE(failed.wait(5000));
    EXPECT_FALSE(failed.first().first().toString().isEmpty());
    EXPECT_EQ(up.count(), 0);
    EXPECT_FALSE(core.isLinkConnected());
    EXPECT_FALSE(core.activeLink()->errorString().isEmpty());
}

TEST_F(TcpLink, AbandonedConnectNeverComesUp)
{
    QSignalSpy up(&core, &LinkCore::linkUp);
    ASSERT_TRUE(core.openLink(LinkCore::TcpLink, QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
    core.releaseLink();
    pumpingWait(100);
    EXPECT_EQ(up.count(), 0);
    EXPECT_EQ(core.linkSocket().state(), QAbstractSocket::UnconnectedState);
}

// --- Serial link over a pseudo-terminal ---------------------------------------------------

// The test's end of the line is the master side; the link opens the slave by its path.
struct SerialLink : LinkFixture {
    int master = -1;
    QString slavePath;

    void SetUp() override
    {
        LinkFixture::SetUp();
        int slave = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave); // the link opens it again by name
        slavePath = QString::fromLocal8Bit(name);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }

    void TearDown() override
    {
        core.releaseLink();
        if (master >= 0)
            ::close(master);
    }

    QByteArray masterRead(qsizetype want)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < want && clock.elapsed() < 5000) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char buf[4096];
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, n);
            }
        }
        return got;
    }

    void masterWrite(const QByteArray &data)
    {
        ASSERT_EQ(::write(master, data.constData(), data.size()), data.size());
    }
};

TEST_F(SerialLink, OpensAt19200EightNoneOne)
{
    QSignalSpy up(&core, &LinkCore::linkUp);
    ASSERT_TRUE(core.openLink(LinkCore::SerialLink, slavePath));
    EXPECT_EQ(up.count(), 1); // a serial open completes at once
    ASSERT_TRUE(core.isLinkConnected());

    termios tio{};
    ASSERT_EQ(tcgetattr(master, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B19200));
    EXPECT_EQ(cfgetispeed(&tio), speed_t(B19200));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), tcflag_t(0));
}

TEST_F(SerialLink, WritePausesAfterEachFrame)
{
    ASSERT_TRUE(core.openLink(LinkCore::SerialLink, slavePath));
    auto *client = dynamic_cast<ComClient *>(core.activeLink());
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->writePause(), 10);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(core.sendFrame(kProbe));
    EXPECT_GE(clock.elapsed(), 10);
    EXPECT_EQ(masterRead(kProbe.size()), kProbe);
    EXPECT_EQ(client->available(), 0);
}

TEST_F(SerialLink, AssemblesWhatTheDeviceSends)
{
    ASSERT_TRUE(core.openLink(LinkCore::SerialLink, slavePath));
    const QByteArray split = presetWritten(3);
    masterWrite(presetWritten(1) + split.left(7));
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 1; }));
    masterWrite(split.mid(7));
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 2; }));
    EXPECT_EQ(frames, QList<QByteArray>({presetWritten(1), split}));
}

TEST_F(SerialLink, DiscardInputDropsThePartialFrame)
{
    ASSERT_TRUE(core.openLink(LinkCore::SerialLink, slavePath));
    masterWrite(presetWritten(1).left(6));
    ASSERT_TRUE(waitUntil([&] { return core.assembler().rxBuffer().size() == 6; }));
    core.discardInput();
    EXPECT_TRUE(core.assembler().rxBuffer().isEmpty());
    masterWrite(presetWritten(1).mid(6) + presetWritten(2));
    ASSERT_TRUE(waitUntil([&] { return !frames.isEmpty(); }));
    EXPECT_EQ(frames, QList<QByteArray>({presetWritten(2)}));
}

TEST_F(SerialLink, ReleaseClosesThePort)
{
    ASSERT_TRUE(core.openLink(LinkCore::SerialLink, slavePath));
    QSignalSpy down(&core, &LinkCore::linkDown);
    core.releaseLink();
    EXPECT_EQ(down.count(), 1);
    EXPECT_FALSE(core.serialPort().isOpen());
    EXPECT_EQ(core.activeLink(), nullptr);
}

TEST_F(SerialLink, HangUpIsReportedAndClosesThePort)
{
    ASSERT_TRUE(core.openLink(LinkCore::SerialLink, slavePath));
    QSignalSpy down(&core, &LinkCore::linkDown);
    QSignalSpy failed(&core, &LinkCore::linkFailed);
    ::close(master);
    master = -1;
    ASSERT_TRUE(down.wait(5000));
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.first().first().toString().contains(slavePath.mid(5))); // "pts/N"
    EXPECT_FALSE(core.isLinkConnected());
}

TEST(SerialOpen, MissingPortLeavesTheLinkDownWithTheReason)
{
    test::FakePrompts prompts;
    LinkCore core(prompts);
    QSignalSpy up(&core, &LinkCore::linkUp);
    QSignalSpy failed(&core, &LinkCore::linkFailed);
    ASSERT_TRUE(core.openLink(LinkCore::SerialLink, QStringLiteral("/nonexistent/q48-no-such-port")));
    EXPECT_EQ(up.count(), 0);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_FALSE(failed.first().first().toString().isEmpty());
    ASSERT_NE(core.activeLink(), nullptr);
    EXPECT_FALSE(core.activeLink()->isConnected());
    EXPECT_FALSE(core.activeLink()->errorString().isEmpty());
    EXPECT_FALSE(core.sendFrame(kProbe));
    core.releaseLink();
    EXPECT_EQ(core.activeLink(), nullptr);
}

TEST(SerialOpen, EmptyPortNameIsRefused)
{
    QSerialPort port;
    ComClient client(&port);
    EXPECT_FALSE(client.setTarget(QString()));
}

} // namespace

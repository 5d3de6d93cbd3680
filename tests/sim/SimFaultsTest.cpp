// Every --fault of q48-sim, seen from the tool's end of the link.

#include "SimFixture.h"
#include "ToolFrames.h"
#include "link/CommandCodes.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QUdpSocket>
#include <functional>
#include <gtest/gtest.h>

namespace q48::test {
namespace {

const QByteArray kProbe = QByteArray::fromHex("0120030b00010001f90140");
const QByteArray kExportRequest = QByteArray::fromHex("0120030b000100012f0040");

QStringList fault(const QString &text)
{
    return {QStringLiteral("--fault"), text};
}

using SimFaults = SimFixture;

TEST_F(SimFaults, GarbageComesBeforeEveryFrameAndNeverHoldsASignatureByte)
{
    startSim(fault(QStringLiteral("garbage:7")));
    for (int i = 0; i < 3; ++i) {
        peer->send(kProbe);
        const QByteArray raw = peer->readBytes(7 + 11);
        EXPECT_FALSE(raw.left(7).contains('\x01'));
        EXPECT_EQ(raw.mid(7), kProbe);
    }
}

TEST_F(SimFaults, SplitFramesArriveInPiecesButIntact)
{
    startSim(fault(QStringLiteral("split:80")));
    int arrivals = 0;
    for (int i = 0; i < 8; ++i) {
        peer->send(toolFrame(CMD_PRESET_LIST, 4));
        const QByteArray list = peer->readFrame(395);
        ASSERT_EQ(u8(list, 394), kEndMark);
        EXPECT_EQ(u8(list, 9), 4);
        arrivals += peer->arrivals();
    }
    EXPECT_GT(arrivals, 8);
}

struct BeginCase {
    const char *fault;
    int image;
    int replyImage;
    int status;
};

class SimBeginFaults : public SimFixture, public ::testing::WithParamInterface<BeginCase> {};

TEST_P(SimBeginFaults, ReadyReplyShowsTheFault)
{
    const BeginCase c = GetParam();
    startSim(fault(QLatin1String(c.fault)));
    peer->send(beginFrame(c.image, 2));
    const QByteArray ready = peer->readFrame(15);
    EXPECT_EQ(u8(ready, 9), c.replyImage);
    EXPECT_EQ(u8(ready, 12), c.status);
    const QString result =
        c.status == 0 && c.replyImage == c.image ? QStringLiteral("incomplete") : QStringLiteral("not-ready");
    EXPECT_EQ(
        stopAndSummarise()[QStringLiteral("images")][QString::number(c.image)][QStringLiteral("result")],
        result);
}

INSTANTIATE_TEST_SUITE_P(Faults, SimBeginFaults,
                         ::testing::Values(BeginCase{"not-ready", 1, 1, 1}, BeginCase{"not-ready:2", 2, 2, 1},
                                           BeginCase{"not-ready:2", 1, 1, 0},
                                           BeginCase{"wrong-image", 3, 0, 0},
                                           BeginCase{"wrong-image:0", 0, 1, 0}));

TEST_F(SimFaults, FailPacketAnswersThatPacketWithStatusOne)
{
    startSim(fault(QStringLiteral("fail-packet:1:2")));
    const QByteArray data = imageData(4);
    peer->send(beginFrame(1, 4));
    ASSERT_EQ(u8(peer->readFrame(15), 12), 0);
    for (int n = 0; n <= 2; ++n) {
        peer->send(firmwarePacket(1, n, data.mid(n * 1024, 1024)));
        const QByteArray r = peer->readFrame(15);
        EXPECT_EQ(u8(r, 12), n < 2 ? 0 : 1);
        EXPECT_EQ(number16(r, 10), n < 2 ? n + 1 : 2);
    }
    EXPECT_TRUE(peer->collect(200).isEmpty());
}

TEST_F(SimFaults, DuplicateRequestIsAnsweredTwiceAndTheCopyIgnored)
{
    startSim(fault(QStringLiteral("dup-request:1:1")));
    const QByteArray data = imageData(3);
    peer->send(beginFrame(1, 3));
    ASSERT_EQ(u8(peer->readFrame(15), 12), 0);
    peer->send(firmwarePacket(1, 0, data.left(1024)));
    EXPECT_EQ(number16(peer->readFrame(15), 10), 1);
    EXPECT_EQ(number16(peer->readFrame(15), 10), 1) << "the same request again";
    // A tool that answers both requests sends packet 1 twice: only one request for packet 2 follows.
    peer->send(firmwarePacket(1, 1, data.mid(1024, 1024)) + firmwarePacket(1, 1, data.mid(1024, 1024)));
    EXPECT_EQ(number16(peer->readFrame(15), 10), 2);
    EXPECT_TRUE(peer->collect(200).isEmpty());
    peer->send(firmwarePacket(1, 2, data.mid(2048, 1024)));
    EXPECT_EQ(number16(peer->readFrame(15), 10), 3);

    const QJsonObject image = stopAndSummarise()[QStringLiteral("images")][QStringLiteral("1")].toObject();
    EXPECT_EQ(image.value(QStringLiteral("result")).toString(), QStringLiteral("done"));
    EXPECT_EQ(image.value(QStringLiteral("duplicates")).toInt(), 1);
    EXPECT_EQ(image.value(QStringLiteral("sha256")).toString(), sha256(data));
}

// One transfer driven from the tool's side; returns how many device frames answered it.
using Transfer = std::function<int(SimPeer &)>;

int countFrames(SimPeer &peer, int size)
{
    int n = 0;
    while (!peer.readFrame(size, 1000).isEmpty())
        ++n;
    return n;
}

const Transfer exportTransfer = [](SimPeer &peer) {
    peer.send(kExportRequest);
    return countFrames(peer, 4012);
};
const Transfer dspTransfer = [](SimPeer &peer) {
    peer.send(toolFrame(CMD_DSP_READ, 2, QByteArray::fromHex("01010101")));
    return countFrames(peer, kDspFrameSize);
};
const Transfer importTransfer = [](SimPeer &peer) {
    int acks = 0;
    for (int p = 1; p <= 5; ++p) {
        peer.send(importPacket(p));
        if (peer.readFrame(12, 1000).isEmpty())
            break;
        ++acks;
    }
    return acks;
};
const Transfer firmwareTransfer = [](SimPeer &peer) {
    peer.send(beginFrame(1, 5));
    if (peer.readFrame(15, 1000).isEmpty())
        return -1;
    int requests = 0;
    for (int n = 0; n < 5; ++n) {
        peer.send(firmwarePacket(1, n, "x"));
        if (peer.readFrame(15, 1000).isEmpty())
            break;
        ++requests;
    }
    return requests;
};

struct LimitCase {
    const char *name;
    const char *fault;
    Transfer transfer;
    int answers; // outgoing streams stop after N packets; the Nth incoming packet goes unanswered
    bool closes;
};

class SimLimitFaults : public SimFixture, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(SimLimitFaults, TransferEndsAfterNPacketsOnceOnly)
{
    const LimitCase c = GetParam();
    startSim(fault(QLatin1String(c.fault)));
    EXPECT_EQ(c.transfer(*peer), c.answers);
    if (c.closes) {
        EXPECT_TRUE(peer->waitClosed(3000));
    } else {
        peer->send(kProbe);
        EXPECT_TRUE(peer->collect(300).isEmpty()) << "a stalled device answers nothing on that link";
        EXPECT_TRUE(peer->isOpen());
    }
    // The fault fires once: a new connection is served and the same transfer runs further.
    peer.reset();
    peer = SimPeer::tcp(sim->tcpPort());
    peer->send(kProbe);
    EXPECT_EQ(peer->readFrame(11), kProbe);
    EXPECT_GT(c.transfer(*peer), c.answers);
}

INSTANTIATE_TEST_SUITE_P(Faults, SimLimitFaults,
                         ::testing::Values(LimitCase{"StallExport", "stall:3", exportTransfer, 3, false},
                                           LimitCase{"CloseExport", "close:3", exportTransfer, 3, true},
                                           LimitCase{"StallDsp", "stall:2", dspTransfer, 2, false},
                                           LimitCase{"CloseDsp", "close:2", dspTransfer, 2, true},
                                           LimitCase{"StallImport", "stall:2", importTransfer, 1, false},
                                           LimitCase{"CloseImport", "close:2", importTransfer, 1, true},
                                           LimitCase{"StallFirmware", "stall:3", firmwareTransfer, 2, false},
                                           LimitCase{"CloseFirmware", "close:3", firmwareTransfer, 2, true}),
                         [](const ::testing::TestParamInfo<LimitCase> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(SimFaults, CloseInRebootDropsTheConnectionWhileRestarting)
{
    startSim(fault(QStringLiteral("close-in-reboot")) + QStringList{"--reboot-seconds", "1"});
    peer->send(beginFrame(0, 1));
    ASSERT_EQ(u8(peer->readFrame(15), 12), 0);
    peer->send(firmwarePacket(0, 0, "boot"));
    EXPECT_EQ(u8(peer->readFrame(15), 12), 0);
    EXPECT_TRUE(peer->waitClosed(3000));
}

TEST_F(SimFaults, RebootNoiseIsNoFrame)
{
    startSim({"--reboot-noise", "--reboot-seconds", "1"});
    peer->send(beginFrame(0, 1));
    ASSERT_EQ(u8(peer->readFrame(15), 12), 0);
    peer->send(firmwarePacket(0, 0, "boot"));
    ASSERT_EQ(u8(peer->readFrame(15), 12), 0);
    const QByteArray noise = peer->collect(1200);
    EXPECT_FALSE(noise.isEmpty());
    EXPECT_FALSE(noise.endsWith('@')) << "noise must not end like a frame";
    peer->send(kProbe);
    EXPECT_EQ(peer->readFrame(11), kProbe);
}

struct AckCase {
    const char *fault;
    QList<int> acks; // packet numbers acknowledged for import packets 1..3
};

class SimAckFaults : public SimFixture, public ::testing::WithParamInterface<AckCase> {};

TEST_P(SimAckFaults, AcknowledgementsShowTheFault)
{
    const AckCase c = GetParam();
    startSim(fault(QLatin1String(c.fault)));
    for (int p = 1; p <= 3; ++p)
        peer->send(importPacket(p));
    QList<int> acks;
    for (QByteArray ack = peer->readFrame(12, 1000); !ack.isEmpty(); ack = peer->readFrame(12, 1000)) {
        EXPECT_EQ(u8(ack, 8), CMD_MEMORY_IMPORT_ACK);
        EXPECT_EQ(u8(ack, 9), 4);
        acks << u8(ack, 10);
    }
    EXPECT_EQ(acks, c.acks);
}

INSTANTIATE_TEST_SUITE_P(Faults, SimAckFaults,
                         ::testing::Values(AckCase{"dup-ack:2", {1, 2, 2, 3}},
                                           AckCase{"ooo-ack:2", {1, 3, 3}}));

TEST_F(SimFaults, ExportPacketsWrongSizedOrDropped)
{
    startSim(fault(QStringLiteral("export-wrong-size:3")) + fault(QStringLiteral("export-drop:4")) +
             fault(QStringLiteral("export-wrong-size:30:5")));
    // Walk the stream by the sizes the device sent: packet 3 one short, packet 30 five long.
    const auto sizeOf = [](int p) {
        return (p == 3 ? -1 : p == 30 ? 5 : 0) + kMemoryPacketSize[memorySubCode(p)];
    };
    int total = 0;
    for (int p = 1; p <= 30; ++p)
        total += p == 4 ? 0 : sizeOf(p);
    peer->send(kExportRequest);
    const QByteArray all = peer->readBytes(total);
    ASSERT_EQ(all.size(), total);
    qsizetype pos = 0;
    for (int p = 1; p <= 30; ++p) {
        if (p == 4)
            continue;
        const QByteArray f = all.mid(pos, sizeOf(p));
        EXPECT_EQ(u8(f, 10), p);
        EXPECT_EQ(u8(f, f.size() - 1), kEndMark) << "packet " << p;
        pos += f.size();
    }
    EXPECT_TRUE(peer->collect(200).isEmpty());
}

TEST_F(SimFaults, StreamDelaySpacesThePackets)
{
    startSim(fault(QStringLiteral("stream-delay:120")));
    QElapsedTimer clock;
    clock.start();
    peer->send(kExportRequest);
    for (int p = 1; p <= 3; ++p)
        ASSERT_EQ(u8(peer->readFrame(4012), 10), p);
    EXPECT_GE(clock.elapsed(), 3 * 120 - 20);
}

TEST_F(SimFaults, DspGapsLeaveFramesOutButEndOn321)
{
    startSim(fault(QStringLiteral("dsp-gaps:100")));
    peer->send(toolFrame(CMD_DSP_READ, 2, QByteArray::fromHex("01010101")));
    QList<int> numbers;
    for (QByteArray f = peer->readFrame(269, 1000); !f.isEmpty(); f = peer->readFrame(269, 1000))
        numbers << number16(f, 10);
    ASSERT_EQ(numbers.size(), 319);
    EXPECT_FALSE(numbers.contains(100) || numbers.contains(200) || numbers.contains(300));
    EXPECT_EQ(numbers.last(), 321);
}

TEST_F(SimFaults, ProbeSilentAcceptsTcpButAnswersNothing)
{
    startSim(fault(QStringLiteral("probe-silent")));
    EXPECT_TRUE(peer->isOpen());
    peer->send(kProbe + toolFrame(CMD_PRESET_LIST, 1));
    EXPECT_TRUE(peer->collect(500).isEmpty());
    EXPECT_TRUE(peer->isOpen());
    EXPECT_EQ(stopAndSummarise().value(QStringLiteral("probes")).toInt(), 0);
}

TEST_F(SimFaults, PresetWrongSizeIsOneByteShortForTheChosenKind)
{
    startSim(fault(QStringLiteral("preset-wrong-size:1")));
    peer->send(toolFrame(CMD_READ_PRESET, 1, QByteArray(1, '\x01')));
    const QByteArray dsp = peer->readFrame(68);
    EXPECT_EQ(u8(dsp, 3), 68) << "byte 3 tells the real size, so the tool can take the frame and refuse it";
    EXPECT_EQ(u8(dsp, 67), kEndMark);
    peer->send(toolFrame(CMD_READ_PRESET, 2, QByteArray(1, '\x01')));
    EXPECT_EQ(u8(peer->readFrame(44), 3), 44);
    EXPECT_TRUE(peer->collect(200).isEmpty());
}

} // namespace
} // namespace q48::test

// Firmware programming and DSP read-back of q48-sim.

#include "SimFixture.h"
#include "ToolFrames.h"
#include "link/CommandCodes.h"

#include <QJsonArray>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace q48::test {
namespace {

class SimFirmware : public SimFixture {
protected:
    void SetUp() override { startSim({QStringLiteral("--reboot-seconds"), QStringLiteral("2")}); }
    QByteArray reply() { return peer->readFrame(15, 3000); }
};

TEST_F(SimFirmware, RequestsEveryPacketInTurnAndGivesTheVerdict)
{
    const QByteArray data = imageData(3);
    peer->send(beginFrame(2, 3));
    const QByteArray ready = reply();
    EXPECT_EQ(u8(ready, 8), CMD_FW_BEGIN);
    EXPECT_EQ(u8(ready, 9), 2);
    EXPECT_EQ(u8(ready, 12), 0);

    for (int n = 0; n < 3; ++n) {
        peer->send(firmwarePacket(2, n, data.mid(n * 1024, 1024)));
        const QByteArray r = reply();
        ASSERT_EQ(r.size(), 15);
        EXPECT_EQ(u8(r, 8), CMD_FW_DATA);
        EXPECT_EQ(u8(r, 9), 2);
        EXPECT_EQ(number16(r, 10), n + 1) << "request for the next packet, or count as the verdict";
        EXPECT_EQ(u8(r, 12), 0);
    }
    EXPECT_TRUE(peer->collect(200).isEmpty());

    const QJsonObject image = stopAndSummarise()[QStringLiteral("images")][QStringLiteral("2")].toObject();
    EXPECT_EQ(image.value(QStringLiteral("packetCount")).toInt(), 3);
    EXPECT_EQ(image.value(QStringLiteral("received")).toInt(), 3);
    EXPECT_EQ(image.value(QStringLiteral("result")).toString(), QStringLiteral("done"));
    EXPECT_EQ(image.value(QStringLiteral("sha256")).toString(), sha256(data));
}

TEST_F(SimFirmware, MainImageRebootsSilentlyAndKeepsTheConnection)
{
    const QByteArray probe = toolFrame(CMD_PROBE, 1);
    peer->send(toolFrame(CMD_FW_PREPARE, 0));
    peer->send(beginFrame(0, 1));
    EXPECT_EQ(u8(reply(), 8), CMD_FW_BEGIN_MAIN);
    peer->send(firmwarePacket(0, 0, "main"));
    const QByteArray verdict = reply();
    EXPECT_EQ(u8(verdict, 8), CMD_FW_DATA_MAIN);
    EXPECT_EQ(number16(verdict, 10), 1);
    EXPECT_EQ(u8(verdict, 12), 0);

    peer->send(probe);
    EXPECT_TRUE(peer->collect(300).isEmpty()) << "silent while restarting";
    QThread::msleep(2000);
    peer->send(probe);
    EXPECT_EQ(peer->readFrame(11), probe) << "answers again on the same connection";

    const QJsonObject summary = stopAndSummarise();
    EXPECT_TRUE(summary[QStringLiteral("images")][QStringLiteral("0")][QStringLiteral("prepared")].toBool());
    EXPECT_EQ(summary.value(QStringLiteral("ignoredWhileRebooting")).toInt(), 1);
}

TEST_F(SimFirmware, EmptyImageIsDoneOnTheEndByte)
{
    peer->send(beginFrame(3, 0));
    EXPECT_EQ(u8(reply(), 12), 0);
    peer->send(QByteArray(1, char(FW_END_BYTE)));
    const QByteArray verdict = reply();
    EXPECT_EQ(u8(verdict, 9), 3);
    EXPECT_EQ(number16(verdict, 10), 0);
    EXPECT_EQ(u8(verdict, 12), 0);
}

struct BadPacket {
    const char *what;
    std::function<void(QByteArray &)> spoil;
};

TEST_F(SimFirmware, FailsTheImageOnABadPacket)
{
    const QList<BadPacket> cases = {
        {"packet number skipped", [](QByteArray &f) { f[11] = 1; }},
        {"other image index", [](QByteArray &f) { f[9] = 2; }},
        {"command of the main image", [](QByteArray &f) { f[8] = char(CMD_FW_DATA_MAIN); }},
        {"bytes 1036-1038 not zero", [](QByteArray &f) { f[1037] = 1; }},
        {"byte 3 not 0x10", [](QByteArray &f) { f[3] = 0x11; }},
    };
    for (const BadPacket &c : cases) {
        peer->send(beginFrame(1, 4));
        ASSERT_EQ(u8(reply(), 12), 0) << c.what;
        QByteArray packet = firmwarePacket(1, 0, imageData(1));
        c.spoil(packet);
        peer->send(packet);
        const QByteArray verdict = reply();
        EXPECT_EQ(u8(verdict, 9), 1) << c.what;
        EXPECT_EQ(u8(verdict, 12), 1) << c.what;
    }
    const QJsonObject summary = stopAndSummarise();
    EXPECT_EQ(summary.value(QStringLiteral("errors")).toArray().size(), cases.size());
    EXPECT_EQ(summary[QStringLiteral("images")][QStringLiteral("1")][QStringLiteral("result")].toString(),
              QStringLiteral("failed"));
}

TEST_F(SimFirmware, RefusesABeginWithTheWrongCommandForTheImage)
{
    peer->send(beginFrame(0, 2, CMD_FW_BEGIN));
    const QByteArray r = reply();
    EXPECT_EQ(u8(r, 8), CMD_FW_BEGIN);
    EXPECT_EQ(u8(r, 12), 1);
}

TEST_F(SimFirmware, DspReadBackStreams322NumberedFrames)
{
    peer->send(toolFrame(CMD_DSP_READ, 3, QByteArray::fromHex("01010101")));
    QByteArray data;
    for (int n = 0; n <= kDspLastPacket; ++n) {
        const QByteArray f = peer->readFrame(kDspFrameSize);
        ASSERT_EQ(f.size(), kDspFrameSize) << "frame " << n;
        EXPECT_EQ(u8(f, 8), CMD_DSP_READ);
        EXPECT_EQ(u8(f, 9), 3);
        EXPECT_EQ(number16(f, 10), n);
        EXPECT_EQ(u8(f, 268), kEndMark);
        data += f.mid(12, 256);
    }
    EXPECT_TRUE(peer->collect(200).isEmpty());
    const QJsonObject dsp = stopAndSummarise().value(QStringLiteral("dsp")).toArray().at(0).toObject();
    EXPECT_EQ(dsp.value(QStringLiteral("frames")).toInt(), 322);
    EXPECT_EQ(dsp.value(QStringLiteral("sha256")).toString(), sha256(data));
}

} // namespace
} // namespace q48::test

// Memory export and import of q48-sim.

#include "SimFixture.h"
#include "ToolFrames.h"
#include "link/CommandCodes.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace q48::test {
namespace {

const QByteArray kExportRequest = QByteArray::fromHex("0120030b000100012f0040");

class SimMemory : public SimFixture {
protected:
    void SetUp() override { startSim(); }
    QList<QByteArray> exportAll()
    {
        peer->send(kExportRequest);
        QList<QByteArray> packets;
        for (int p = 1; p <= kMemoryPacketCount; ++p)
            packets.append(peer->readFrame(kMemoryPacketSize[memorySubCode(p)]));
        return packets;
    }
    // Sends one import packet made from an export packet; returns the acknowledgement, if any.
    QByteArray importPacket(QByteArray packet, int waitMs = 3000)
    {
        packet[kOffsetCommand] = char(CMD_MEMORY_IMPORT);
        peer->send(packet);
        return peer->readFrame(12, waitMs);
    }
};

TEST_F(SimMemory, ExportStreamsThirtyPacketsInTheirAreas)
{
    const QList<QByteArray> packets = exportAll();
    QByteArray all;
    for (int p = 1; p <= kMemoryPacketCount; ++p) {
        const QByteArray &f = packets.at(p - 1);
        const int sub = memorySubCode(p);
        ASSERT_EQ(f.size(), kMemoryPacketSize[sub]) << "packet " << p;
        EXPECT_EQ(u8(f, 8), CMD_MEMORY_EXPORT);
        EXPECT_EQ(u8(f, 9), sub);
        EXPECT_EQ(u8(f, 10), p);
        EXPECT_EQ(u8(f, f.size() - 1), kEndMark);
        EXPECT_LT(u8(f, 3), 11);
        all += f;
    }
    EXPECT_TRUE(peer->collect(200).isEmpty());
    EXPECT_EQ(stopAndSummarise()[QStringLiteral("memory")][QStringLiteral("exportSha256")].toString(),
              sha256(all));
}

TEST_F(SimMemory, ImportIsAcknowledgedPacketByPacketAndBecomesTheMemory)
{
    QList<QByteArray> packets = exportAll();
    ASSERT_EQ(packets.last().size(), 4012);
    packets[4][100] = char(0x5A); // the import must carry the tool's bytes, not the device's own
    QByteArray sent;
    for (int p = 1; p <= kMemoryPacketCount; ++p) {
        QByteArray packet = packets.at(p - 1);
        const QByteArray ack = importPacket(packet);
        ASSERT_EQ(ack, toolFrame(CMD_MEMORY_IMPORT_ACK, memorySubCode(p), QByteArray(1, char(p))))
            << "packet " << p;
        packet[kOffsetCommand] = char(CMD_MEMORY_IMPORT);
        sent += packet;
    }
    EXPECT_EQ(exportAll(), packets) << "the next export hands back what was imported";

    const QJsonObject summary = stopAndSummarise();
    const QJsonObject memory = summary.value(QStringLiteral("memory")).toObject();
    EXPECT_EQ(memory.value(QStringLiteral("importSha256")).toString(), sha256(sent));
    EXPECT_EQ(memory.value(QStringLiteral("imports")).toInt(), 1);
    EXPECT_TRUE(summary.value(QStringLiteral("errors")).toArray().isEmpty());
}

TEST_F(SimMemory, ImportOutOfOrderIsNotAcknowledged)
{
    const QList<QByteArray> packets = exportAll();
    ASSERT_EQ(packets.size(), 30);
    EXPECT_TRUE(importPacket(packets.at(1), 300).isEmpty()) << "packet 2 before packet 1";
    ASSERT_FALSE(importPacket(packets.at(0)).isEmpty());
    EXPECT_TRUE(importPacket(packets.at(2), 300).isEmpty()) << "packet 3 after packet 1";
    EXPECT_TRUE(importPacket(packets.at(1), 300).isEmpty()) << "the import was abandoned";
    const QJsonObject summary = stopAndSummarise();
    EXPECT_EQ(summary.value(QStringLiteral("errors")).toArray().size(), 3);
    EXPECT_EQ(summary[QStringLiteral("memory")][QStringLiteral("imports")].toInt(), 0);
}

} // namespace
} // namespace q48::test

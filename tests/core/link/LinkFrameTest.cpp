#include "ByteLiterals.h"
#include "link/DebugLog.h"
#include "link/LinkFrame.h"

#include <gtest/gtest.h>

using namespace q48;
using q48::test::bytes;

TEST(LinkFrame, BuildsTheProbeFrame)
{
    EXPECT_EQ(LinkFrame::probe(), bytes({0x01, 0x20, 0x03, 0x0B, 0x00, 0x01, 0x00, 0x01, 0xF9, 0x01, 0x40}));
}

TEST(LinkFrame, LengthByteIsTheLowByteOfTheTotalSize)
{
    EXPECT_EQ(LinkFrame::build(CMD_DELETE_PRESET, 4, bytes({5})),
              bytes({0x01, 0x20, 0x03, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x17, 0x04, 0x05, 0x40}));
    const QByteArray packet = LinkFrame::build(CMD_FW_DATA, 1, QByteArray(1029, '\0'));
    ASSERT_EQ(packet.size(), kFirmwarePacketFrameSize);
    EXPECT_EQ(LinkFrame::byteAt(packet, 3), 0x10);
    EXPECT_EQ(LinkFrame::byteAt(packet, 4), 0x00);
}

TEST(DebugLog, SendDataLineDumpsEveryByte)
{
    const QByteArray frame = bytes({0x01, 0x20, 0x03, 0x0F, 0x00, 0x01, 0x00, 0x01, 0xF2, 0x02, 0x01, 0x01, 0x01, 0x01, 0x40});
    EXPECT_EQ(sendDataLine(1, frame),
              QStringLiteral("\r\n SendData: 1  01 20 03 0F 00 01 00 01 F2 02 01 01 01 01 40 \r\n "));
}

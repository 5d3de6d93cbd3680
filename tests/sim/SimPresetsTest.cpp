// Preset names, reads and writes of q48-sim.

#include "SimFixture.h"
#include "ToolFrames.h"
#include "link/CommandCodes.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace q48::test {
namespace {

const QByteArray kEmpty("------empty-----");

class SimPresets : public SimFixture {
protected:
    QByteArray list(int sub, int size)
    {
        peer->send(toolFrame(CMD_PRESET_LIST, sub));
        return peer->readFrame(size);
    }
};

TEST_F(SimPresets, ListRepliesHaveTheKindsExactSizeAndNameForms)
{
    startSim();
    const int sizes[5] = {0, 779, 779, 1675, 395};
    for (int sub = 1; sub <= 4; ++sub) {
        const QByteArray reply = list(sub, sizes[sub]);
        ASSERT_EQ(reply.size(), sizes[sub]) << "sub-code " << sub;
        EXPECT_EQ(u8(reply, 8), CMD_PRESET_LIST);
        EXPECT_EQ(u8(reply, 9), sub);
        EXPECT_EQ(u8(reply, sizes[sub] - 1), kEndMark);
        const QByteArray names = reply.mid(10, sizes[sub] - 11);
        EXPECT_FALSE(names.contains(char(kEndMark))) << "a 0x40 inside could end the frame early";
        // The device's own name forms: empty markers, zero padding and blank padding.
        EXPECT_TRUE(names.contains(kEmpty));
        EXPECT_TRUE(names.left(16).endsWith(QByteArray(8, '\0')));
        EXPECT_TRUE(names.mid(16, 16).endsWith(QByteArray(8, ' ')));
    }
    EXPECT_TRUE(peer->collect(200).isEmpty());
}

TEST_F(SimPresets, SaveAndDeleteChangeTheStoreOfOneKindOnly)
{
    startSim();
    const QByteArray geqBefore = list(2, 779);
    // Save "Vocals" into DSP Channel slot 0 on channel 3; delete Scene slot 5.
    peer->send(QByteArray::fromHex("0120031d000100011601030056") + QByteArray("ocals") + QByteArray(10, ' ') +
               "@");
    peer->send(QByteArray::fromHex("0120030c00010001170405") + "@");

    const QByteArray dsp = list(1, 779);
    EXPECT_EQ(dsp.mid(10, 16), QByteArray("Vocals          "));
    const QByteArray scene = list(4, 395);
    EXPECT_EQ(scene.mid(10 + 5 * 16, 16), kEmpty);
    EXPECT_EQ(list(2, 779), geqBefore);

    const QJsonObject presets = stopAndSummarise().value(QStringLiteral("presets")).toObject();
    const QJsonObject saved = presets.value(QStringLiteral("saved")).toArray().at(0).toObject();
    EXPECT_EQ(saved.value(QStringLiteral("subCode")).toInt(), 1);
    EXPECT_EQ(saved.value(QStringLiteral("channel")).toInt(), 3);
    EXPECT_EQ(saved.value(QStringLiteral("slot")).toInt(), 0);
    EXPECT_EQ(saved.value(QStringLiteral("name")).toString(), QStringLiteral("Vocals          "));
    const QJsonObject deleted = presets.value(QStringLiteral("deleted")).toArray().at(0).toObject();
    EXPECT_EQ(deleted.value(QStringLiteral("subCode")).toInt(), 4);
    EXPECT_EQ(deleted.value(QStringLiteral("slot")).toInt(), 5);
}

TEST_F(SimPresets, RefusesSlotsOutsideTheKind)
{
    startSim();
    const QByteArray sceneBefore = list(4, 395);
    peer->send(toolFrame(CMD_DELETE_PRESET, 4, QByteArray(1, char(24)))); // Scene has slots 0..23
    peer->send(toolFrame(CMD_READ_PRESET, 3, QByteArray(1, char(105))));  // DFX slot byte 1..104
    peer->send(toolFrame(CMD_SAVE_PRESET_NAME, 2,
                         QByteArray::fromHex("0a00") + QByteArray(16, 'x'))); // GEQ channel 1..9
    EXPECT_EQ(list(4, 395), sceneBefore);
    EXPECT_TRUE(peer->collect(200).isEmpty());
    EXPECT_EQ(stopAndSummarise().value(QStringLiteral("errors")).toArray().size(), 3);
}

struct ReadCase {
    int sub;
    int utype;
    int size;
};

class SimPresetRead : public SimPresets, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SimPresetRead, AnswersTheKindsDataFrameAndConfirmsItsWriteBack)
{
    const ReadCase c = GetParam();
    startSim({QStringLiteral("--utype"), QString::number(c.utype)});
    peer->send(toolFrame(CMD_READ_PRESET, c.sub, QByteArray(1, char(3))));
    const QByteArray data = peer->readFrame(c.size);
    ASSERT_EQ(data.size(), c.size);
    EXPECT_EQ(u8(data, 8), CMD_READ_PRESET);
    EXPECT_EQ(u8(data, 9), c.sub);
    EXPECT_EQ(u8(data, c.size - 1), kEndMark);
    if (c.size <= 255)
        EXPECT_EQ(u8(data, 3), c.size);
    else
        EXPECT_LT(u8(data, 3), 11) << "a long frame's byte 3 must not pass for a length";
    EXPECT_TRUE(peer->collect(200).isEmpty());

    // The same slot reads the same; another slot reads differently.
    peer->send(toolFrame(CMD_READ_PRESET, c.sub, QByteArray(1, char(3))));
    EXPECT_EQ(peer->readFrame(c.size), data);
    peer->send(toolFrame(CMD_READ_PRESET, c.sub, QByteArray(1, char(4))));
    EXPECT_NE(peer->readFrame(c.size), data);

    QByteArray write = data;
    write[8] = char(CMD_WRITE_PRESET);
    if (c.sub != 4)
        write[10] = char(2);
    peer->send(write);
    EXPECT_EQ(peer->readFrame(11), toolFrame(CMD_PRESET_WRITTEN, c.sub));

    const QJsonObject presets = stopAndSummarise().value(QStringLiteral("presets")).toObject();
    const QJsonObject written = presets.value(QStringLiteral("written")).toArray().at(0).toObject();
    EXPECT_EQ(written.value(QStringLiteral("subCode")).toInt(), c.sub);
    EXPECT_EQ(written.value(QStringLiteral("size")).toInt(), c.size);
    EXPECT_EQ(written.value(QStringLiteral("sha256")).toString(), sha256(write));
    EXPECT_EQ(presets.value(QStringLiteral("read")).toArray().size(), 3);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SimPresetRead,
                         ::testing::Values(ReadCase{1, 0, 69}, ReadCase{2, 0, 44}, ReadCase{3, 0, 25},
                                           ReadCase{4, 0, 3938}, ReadCase{4, 1, 3939}),
                         [](const ::testing::TestParamInfo<ReadCase> &info) {
                             return "SubCode" + std::to_string(info.param.sub) + "Utype" +
                                    std::to_string(info.param.utype);
                         });

TEST_F(SimPresets, RefusesAWritePresetThatIsNotAStoredFrame)
{
    startSim();
    peer->send(toolFrame(CMD_READ_PRESET, 1, QByteArray(1, char(1))));
    const QByteArray data = peer->readFrame(69);
    ASSERT_EQ(data.size(), 69);

    QByteArray badChannel = data;
    badChannel[8] = char(CMD_WRITE_PRESET);
    badChannel[10] = char(31); // DSP Channel has 30 channels
    QByteArray badLength = data;
    badLength[8] = char(CMD_WRITE_PRESET);
    badLength[10] = char(1);
    badLength[3] = char(68);
    peer->send(badChannel + badLength);
    EXPECT_TRUE(peer->collect(300).isEmpty()) << "no confirmation for a refused write";
    const QJsonObject summary = stopAndSummarise();
    EXPECT_EQ(summary.value(QStringLiteral("errors")).toArray().size(), 2);
    EXPECT_TRUE(summary[QStringLiteral("presets")][QStringLiteral("written")].toArray().isEmpty());
}

} // namespace
} // namespace q48::test

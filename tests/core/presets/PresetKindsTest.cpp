#include "presets/PresetKinds.h"
#include "presets/TData.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace q48;

TEST(PresetKinds, CatalogueByKind)
{
    const int expectedSlots[] = {48, 48, 104, 24};
    const int frames[] = {69, 44, 25, 3938};
    const int channels[] = {30, 9, 2, 0};
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(slotCount(kind), expectedSlots[kind]);
        EXPECT_EQ(presetFrameLength(kind, 0), frames[kind]);
        EXPECT_EQ(presetFrameLength(kind, 1), frames[kind] + (kind == 3 ? 1 : 0));
        EXPECT_EQ(channelRun(kind).size(), channels[kind]);
    }
    for (int bad : {-1, 4})
        EXPECT_EQ(slotCount(bad) + presetFrameLength(bad, 0) + channelRun(bad).size(), 0);
}

TEST(PresetKinds, ChannelRunsStartAndEndWhereTheWireNumbersThem)
{
    const QStringList dsp = channelRun(kKindDspChannel);
    EXPECT_EQ(dsp.first(), "CH01");
    EXPECT_EQ(dsp.at(15), "CH16");
    EXPECT_EQ(dsp.at(24), "CH17_18");
    EXPECT_EQ(dsp.last(), "MAIN");
    EXPECT_EQ(channelRun(kKindGeq),
              QStringList({"MAIN", "SUB1", "SUB2", "SUB3", "SUB4", "AUX1", "AUX2", "AUX3", "AUX4"}));
    EXPECT_EQ(channelRun(kKindDfx), QStringList({"DFX1", "DFX2"}));
}

TEST(PresetKinds, SelectorItemsMapToKinds)
{
    // "Scene", "DSP Channel", "DFX1", "DFX2", "GEQ"
    const int expectedKind[] = {kKindScene, kKindDspChannel, kKindDfx, kKindDfx, kKindGeq};
    for (int item = 0; item < 5; ++item)
        EXPECT_EQ(modeToKind[modeIndexOfItem(item)], expectedKind[item]) << item;
}

TEST(TDataHelpers, ListNumber)
{
    const std::pair<int, const char *> cases[] = {{1, "001."},  {9, "009."},   {10, "010."},  {42, "042."},
                                                  {99, "099."}, {100, "100."}, {104, "104."}, {-1, "-1."}};
    for (const auto &[n, text] : cases)
        EXPECT_EQ(listNumber(n), QString::fromLatin1(text)) << n;
}

TEST(TDataHelpers, PutPaddedTextWritesExactlyTheWidth)
{
    char buf[20];
    std::memset(buf, 'x', sizeof buf);
    putPaddedText(buf, "ab", 16);
    EXPECT_EQ(QByteArray(buf, 17), QByteArray("ab") + QByteArray(14, ' ') + 'x');
    putPaddedText(buf, "ABCDEFGHIJKLMNOPQRST", 16);
    EXPECT_EQ(QByteArray(buf, 17), QByteArray("ABCDEFGHIJKLMNOP") + 'x');
}

TEST(TData, StartsWithEveryListEmpty)
{
    const TData data;
    const QString empty = kEmptyPresetMarker.left(16);
    EXPECT_EQ(data.presetLine(0, kKindScene), "001." + empty);
    EXPECT_EQ(data.presetLine(23, kKindScene), "024." + empty);
    EXPECT_EQ(data.presetLine(103, kKindDfx), "104." + empty);
    EXPECT_EQ(data.presetLine(3, 7), "004.");
    for (int kind = 0; kind < 4; ++kind)
        EXPECT_EQ(data.presetBlock(kind).size(), size_t(slotCount(kind) * 16));
    EXPECT_EQ(QByteArray(data.presetNames.data(), int(data.presetNames.size())),
              QByteArray("------empty-----").repeated(224));
}

TEST(TData, NamesGoIntoTheirSlotOnly)
{
    TData data;
    const auto before = data.presetNames;
    data.setPresetName(kKindDspChannel, 5, "ab");
    EXPECT_EQ(data.presetLine(5, kKindDspChannel), "006.ab              ");
    data.setPresetName(kKindGeq, 0, "A 20 character name!");
    EXPECT_EQ(data.presetLine(0, kKindGeq), "001.A 20 character n");
    // Slots outside the kind, and unknown kinds, change nothing.
    data.setPresetName(kKindScene, 24, "overflow");
    data.setPresetName(4, 0, "nowhere");

    int changed = 0;
    for (size_t i = 0; i < before.size(); ++i)
        changed += before[i] != data.presetNames[i];
    EXPECT_EQ(changed, 16 + 16);
    // The blocks follow in the order DSP Channel, DFX, GEQ, Scene.
    EXPECT_EQ(data.presetBlock(kKindGeq).data(), data.presetNames.data() + (48 + 104) * 16);
    EXPECT_EQ(data.presetNames[(48 + 104) * 16], 'A');
}

TEST(TData, DeviceNamesKeepTheirZeroBytes)
{
    TData data;
    const std::span<char> block = data.presetBlock(kKindDfx);
    std::memset(block.data(), 0, block.size());
    std::memcpy(block.data(), "Hall\0\0\0\0\0\0\0\0\0\0\0\0", 16);
    const QString line = data.presetLine(0, kKindDfx);
    EXPECT_EQ(line.size(), 4 + 16);
    EXPECT_EQ(line.left(8), "001.Hall");
    EXPECT_EQ(line.at(8), QChar(0));
    EXPECT_EQ(data.presetLine(1, kKindDfx), "002." + QString(16, QChar(0)));
}

#include "PresetKinds.h"

namespace q48 {

const char *const channelNames[kChannelNameCount] = {
    // DSP Channel, entries 0..29
    "CH01", "CH02", "CH03", "CH04", "CH05", "CH06", "CH07", "CH08", "CH09", "CH10", "CH11", "CH12", "CH13",
    "CH14", "CH15", "CH16", "AUX1", "AUX2", "AUX3", "AUX4", "SUB1", "SUB2", "SUB3", "SUB4", "CH17_18",
    "CH19_20", "FX1", "FX2", "USB", "MAIN",
    // GEQ, entries 30..38
    "MAIN", "SUB1", "SUB2", "SUB3", "SUB4", "AUX1", "AUX2", "AUX3", "AUX4",
    // DFX, entries 39 and 40
    "DFX1", "DFX2"};

namespace {
constexpr int kSlotCounts[kPresetKindCount] = {48, 48, 104, 24};
constexpr int kFrameLengths[kPresetKindCount] = {69, 44, 25, 3938};
struct Run {
    int first;
    int count;
};
constexpr Run kChannelRuns[kPresetKindCount] = {{0, 30}, {30, 9}, {39, 2}, {0, 0}};
} // namespace

int slotCount(int kind)
{
    return isPresetKind(kind) ? kSlotCounts[kind] : 0;
}

int presetFrameLength(int kind, int utype)
{
    if (!isPresetKind(kind))
        return 0;
    if (kind == kKindScene && utype == 1)
        return kFrameLengths[kind] + 1;
    return kFrameLengths[kind];
}

QString kindLabel(int kind)
{
    return isPresetKind(kind) ? QString::fromLatin1(kindLabels[kind]) : QString();
}

QString kindExtension(int kind)
{
    return isPresetKind(kind) ? QString::fromLatin1(kindExtensions[kind]) : QString();
}

QStringList channelRun(int kind)
{
    QStringList out;
    if (!isPresetKind(kind))
        return out;
    const Run run = kChannelRuns[kind];
    for (int i = 0; i < run.count; ++i)
        out << QString::fromLatin1(channelNames[run.first + i]);
    return out;
}

int modeIndexOfItem(int item)
{
    return item > 2 ? item - 1 : item;
}

} // namespace q48

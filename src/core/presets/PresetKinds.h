#pragma once

#include <QString>
#include <QStringList>

namespace q48 {

// A preset kind code: 0 DSP Channel, 1 GEQ, 2 DFX, 3 Scene. On the wire it travels as
// its sub-code, the code plus one.
using PresetKind = int;

inline constexpr int kPresetKindCount = 4;
inline constexpr PresetKind kKindDspChannel = 0;
inline constexpr PresetKind kKindGeq = 1;
inline constexpr PresetKind kKindDfx = 2;
inline constexpr PresetKind kKindScene = 3;

inline constexpr const char *kindLabels[kPresetKindCount] = {"DSP Channel", "GEQ", "DFX", "Scene"};
inline constexpr const char *kindExtensions[kPresetKindCount] = {".sDsp", ".sGEQ", ".sDFX", ".sScen"};

// The preset window offers the kinds as Scene, DSP Channel, DFX, GEQ (mode index 0..3).
inline constexpr int modeToKind[kPresetKindCount] = {3, 0, 2, 1};

// One table; each of kinds 0..2 uses one run of it (see channelRun).
inline constexpr int kChannelNameCount = 41;
extern const char *const channelNames[kChannelNameCount];

inline constexpr bool isPresetKind(int kind)
{
    return kind >= 0 && kind < kPresetKindCount;
}
inline constexpr int subCodeOfKind(PresetKind kind)
{
    return kind + 1;
}

// 48, 48, 104, 24; 0 for anything else.
int slotCount(int kind);
// 69, 44, 25, and 3938 for Scene (3939 on devices with utype 1); 0 for anything else.
int presetFrameLength(int kind, int utype);

QString kindLabel(int kind);
QString kindExtension(int kind);

// The kind's channels in wire order (position + 1 on the wire); empty for Scene.
QStringList channelRun(int kind);

// The five selector items "Scene", "DSP Channel", "DFX1", "DFX2", "GEQ" give modes 0..3:
// both DFX items give mode 2.
int modeIndexOfItem(int item);

} // namespace q48

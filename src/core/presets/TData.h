#pragma once

#include <QString>

#include <array>
#include <span>

namespace q48 {

inline constexpr int kPresetNameBytes = 16;
inline constexpr int kPresetSlotTotal = 224;
inline const QString kEmptyPresetMarker = QStringLiteral("------empty------");

// "001." .. "099.", then "100." and up; negative numbers as they are ("-1.").
QString listNumber(int n);
// Writes exactly `width` bytes: the text's first `width` characters, blank-padded.
void putPaddedText(char *destination, const QString &text, int width);
// One character per byte, zero bytes included, so a caller can see where a device name stops.
QString textOfBytes(const char *bytes, int count);

// The slot names of the connected mixer and the four firmware version texts. Never
// written to disk; the names of the last device stay until new list replies replace them.
class TData {
public:
    TData();

    // Each block has the layout of the device's name list for its kind, so a list reply is
    // copied into it byte for byte. Block order: DSP Channel, DFX, GEQ, Scene.
    std::array<char, kPresetSlotTotal * kPresetNameBytes> presetNames{};

    QString mcuVer;
    QString keyVer;
    QString dsp1Ver;
    QString dsp2Ver;

    void clearPresetNames(int kind);
    // Blank-pads to 16 bytes. Unknown kinds and slots outside the kind are ignored.
    void setPresetName(int kind, int index, const QString &name);
    // The list line of one slot: number prefix and all 16 bytes. A bad kind or slot gives
    // the number alone.
    QString presetLine(int index, int kind) const;
    // The kind's whole block (16 bytes x slotCount); empty for an unknown kind.
    std::span<char> presetBlock(int kind);
    std::span<const char> presetBlock(int kind) const;

    static int slotCount(int kind);
    static int presetFrameLength(int kind, int utype);
};

} // namespace q48

#pragma once

#include <QByteArray>

#include <array>

namespace q48::sim {

// The mixer's preset slot names, per kind sub-code 1..4 (DSP Channel, GEQ, DFX, Scene): 16 bytes a
// slot, laid out as the name list reply carries them.
class PresetStore {
public:
    static constexpr int kNameSize = 16;
    static constexpr char kEmptyMarker[] = "------empty-----";

    PresetStore();

    static bool validSubCode(int subCode) { return subCode >= 1 && subCode <= 4; }
    static int slotCount(int subCode);
    // Channels a preset of this kind can be applied to; 0 for Scene, which has none.
    static int channelCount(int subCode);

    const QByteArray &names(int subCode) const { return names_[subCode - 1]; }
    void setName(int subCode, int slot, const QByteArray &name16);
    void clearSlot(int subCode, int slot);

    // The name the device starts with in a slot: a mix of zero-padded, blank-padded, full-width
    // and empty slots, so the tool meets every form a real device shows.
    static QByteArray initialName(int subCode, int slot);

private:
    std::array<QByteArray, 4> names_;
};

} // namespace q48::sim

#include "PresetStore.h"

namespace q48::sim {

namespace {
constexpr int kSlots[5] = {0, 48, 48, 104, 24};
constexpr int kChannels[5] = {0, 30, 9, 2, 0};
const char *const kPrefix[5] = {"", "DspCh", "Geq", "Dfx", "Scene"};
} // namespace

PresetStore::PresetStore()
{
    for (int sub = 1; sub <= 4; ++sub) {
        QByteArray &block = names_[sub - 1];
        for (int slot = 0; slot < kSlots[sub]; ++slot)
            block.append(initialName(sub, slot));
    }
}

int PresetStore::slotCount(int subCode)
{
    return validSubCode(subCode) ? kSlots[subCode] : 0;
}

int PresetStore::channelCount(int subCode)
{
    return validSubCode(subCode) ? kChannels[subCode] : 0;
}

QByteArray PresetStore::initialName(int subCode, int slot)
{
    if (slot % 7 == 6)
        return QByteArray(kEmptyMarker, kNameSize);
    QByteArray name =
        QByteArray(kPrefix[subCode]) + ' ' + QByteArray::number(slot + 1).rightJustified(2, '0');
    if (slot % 11 == 10)
        return (name + " full-width").leftJustified(kNameSize, '.', true);
    return name.leftJustified(kNameSize, slot % 2 == 0 ? '\0' : ' ', true);
}

void PresetStore::setName(int subCode, int slot, const QByteArray &name16)
{
    names_[subCode - 1].replace(slot * kNameSize, kNameSize, name16.leftJustified(kNameSize, ' ', true));
}

void PresetStore::clearSlot(int subCode, int slot)
{
    setName(subCode, slot, QByteArray(kEmptyMarker, kNameSize));
}

} // namespace q48::sim

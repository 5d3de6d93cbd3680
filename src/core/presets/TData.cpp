#include "TData.h"

#include "presets/PresetKinds.h"

#include <cstring>

namespace q48 {

namespace {
// First slot of each kind's block: DSP Channel 0, GEQ after DSP Channel and DFX, ...
constexpr int kFirstSlot[kPresetKindCount] = {0, 48 + 104, 48, 48 + 104 + 48};
} // namespace

QString listNumber(int n)
{
    if (n >= 0 && n <= 9)
        return QString::asprintf("00%d.", n);
    if (n >= 10 && n <= 99)
        return QString::asprintf("0%d.", n);
    return QString::asprintf("%d.", n);
}

void putPaddedText(char *destination, const QString &text, int width)
{
    if (width <= 0)
        return;
    const QByteArray bytes = text.left(width).toLatin1();
    const int count = std::min<int>(bytes.size(), width);
    std::memcpy(destination, bytes.constData(), size_t(count));
    std::memset(destination + count, ' ', size_t(width - count));
}

QString textOfBytes(const char *bytes, int count)
{
    return QString::fromLatin1(bytes, count);
}

TData::TData()
{
    presetNames.fill(0);
    for (int kind = 0; kind < kPresetKindCount; ++kind)
        clearPresetNames(kind);
}

void TData::clearPresetNames(int kind)
{
    for (int slot = 0; slot < slotCount(kind); ++slot)
        setPresetName(kind, slot, kEmptyPresetMarker);
}

void TData::setPresetName(int kind, int index, const QString &name)
{
    const std::span<char> block = presetBlock(kind);
    if (index < 0 || index >= slotCount(kind))
        return;
    putPaddedText(block.data() + index * kPresetNameBytes, name, kPresetNameBytes);
}

QString TData::presetLine(int index, int kind) const
{
    const QString number = listNumber(index + 1);
    if (index < 0 || index >= slotCount(kind))
        return number;
    return number + textOfBytes(presetBlock(kind).data() + index * kPresetNameBytes, kPresetNameBytes);
}

std::span<char> TData::presetBlock(int kind)
{
    if (!isPresetKind(kind))
        return {};
    return {presetNames.data() + kFirstSlot[kind] * kPresetNameBytes,
            size_t(slotCount(kind) * kPresetNameBytes)};
}

std::span<const char> TData::presetBlock(int kind) const
{
    if (!isPresetKind(kind))
        return {};
    return {presetNames.data() + kFirstSlot[kind] * kPresetNameBytes,
            size_t(slotCount(kind) * kPresetNameBytes)};
}

int TData::slotCount(int kind)
{
    return q48::slotCount(kind);
}

int TData::presetFrameLength(int kind, int utype)
{
    return q48::presetFrameLength(kind, utype);
}

} // namespace q48

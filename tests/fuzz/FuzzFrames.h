#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

namespace q48::fuzz {

// The first byte of every fuzz input steers the harness; the rest is the byte stream from the
// device. Bit 0: utype. Bits 1-3: what the tool started before the stream (Action, modulo
// kActionCount). Bits 4-5: the firmware image index. Bits 6-7: how the stream is cut into reads.
enum Action : int { Idle = 0, ImportStarted, ExportStarted, DspStarted, FirmwareStarted, kActionCount };

inline int utypeOf(std::uint8_t control)
{
    return control & 1;
}
inline int actionOf(std::uint8_t control)
{
    return ((control >> 1) & 7) % kActionCount;
}
inline int imageOf(std::uint8_t control)
{
    return (control >> 4) & 3;
}
// Bytes per read: 0 means the whole stream at once.
inline int chunkOf(std::uint8_t control)
{
    static constexpr int chunks[4] = {0, 1, 7, 64};
    return chunks[control >> 6];
}
inline std::uint8_t control(int utype, int action, int image, int chunkIndex)
{
    return std::uint8_t((utype & 1) | (action << 1) | ((image & 3) << 4) | ((chunkIndex & 3) << 6));
}

// A device frame of exactly `size` bytes: envelope, command, sub-code, payload, zero fill and
// the end mark.
QByteArray deviceFrame(std::uint8_t command, std::uint8_t subCode, const QByteArray &payload, int size);

// The export frame of memory packet 1..30, as the mixer sends it.
QByteArray memoryExportFrame(int packet);

// A whole memory file the import accepts.
QByteArray memoryFileBytes();

// Seed inputs (name, bytes): well-formed replies of every command the device sends, alone and
// in the sequences the tool expects, each behind the control byte that makes them meaningful.
QList<QPair<QString, QByteArray>> seedInputs();

} // namespace q48::fuzz

#pragma once

#include "CommandCodes.h"

#include <QByteArray>

namespace q48 {

// Builders of the frames the tool composes. Byte 3 carries the low byte of the total
// length, which is the length itself for short frames and 0x10 for the 1040-byte packet.
namespace LinkFrame {

QByteArray build(std::uint8_t command, std::uint8_t subCode, const QByteArray &payload = {});
QByteArray probe();

inline std::uint8_t byteAt(const QByteArray &frame, int index)
{
    return static_cast<std::uint8_t>(frame.at(index));
}
inline std::uint8_t command(const QByteArray &frame) { return byteAt(frame, kOffsetCommand); }
inline std::uint8_t subCode(const QByteArray &frame) { return byteAt(frame, kOffsetSubCode); }

} // namespace LinkFrame
} // namespace q48

#pragma once

#include <QByteArray>

namespace q48::test {

// Frames as the tool builds them: byte 3 = size, then command, sub-code, payload, 0x40.
QByteArray toolFrame(int command, int subCode, const QByteArray &payload = {});
// Firmware begin frame (15 bytes); command -1 picks the right one for the image.
QByteArray beginFrame(int image, int count, int command = -1);
// A firmware packet frame (1040 bytes) carrying `data` (padded to 1024 bytes).
QByteArray firmwarePacket(int image, int number, const QByteArray &data);
// Deterministic image content of `packets` whole packets.
QByteArray imageData(int packets);
// A memory import packet p of the right size for its area, with made-up content.
QByteArray importPacket(int packet);
int memorySubCode(int packet);

int u8(const QByteArray &frame, int index);
int number16(const QByteArray &frame, int index);
QString sha256(const QByteArray &bytes);

} // namespace q48::test

#pragma once

#include <QByteArray>

namespace q48::sim {

// Builds the frames the mixer sends. Frames longer than 255 bytes carry 0 in byte 3, a value the
// tool's length rule can never mistake for a size. Filler content never contains the end mark,
// so no long frame can end early on the tool's side.
class DeviceFrames {
public:
    static QByteArray frame(int command, int subCode, const QByteArray &payload = {});
    // Deterministic filler of `count` bytes for one packet, never 0x40.
    static QByteArray filler(quint32 seed, int count);

    static QByteArray probeReply();
    static QByteArray presetList(int subCode, const QByteArray &names);
    // Preset data of kind `subCode`, slot from 0, `size` bytes in all.
    static QByteArray presetData(int subCode, int slot, int size);
    static QByteArray presetWritten(int subCode);
    static QByteArray memoryPacket(int packet);
    static QByteArray importAck(int subCode, int packet);
    static QByteArray firmwareReply(int command, int image, int number, int status, int extra);
    static QByteArray dspFrame(int subCode, int number);
    static QByteArray searchReply(quint16 tcpPort);

    // Export sub-code of memory packet 1..30.
    static int memorySubCode(int packet);
};

} // namespace q48::sim

#include "DeviceFrames.h"

#include "CommandCodes.h"

namespace q48::sim {

QByteArray DeviceFrames::frame(int command, int subCode, const QByteArray &payload)
{
    const int size = kMinFrameSize + int(payload.size());
    QByteArray f;
    f.reserve(size);
    f.append(char(kSignature[0])).append(char(kSignature[1])).append(char(kSignature[2]));
    f.append(char(size <= kMaxShortFrameSize ? size : 0));
    f.append(char(0x00)).append(char(0x01));
    f.append(char(kDeviceNumber / 100)).append(char(kDeviceNumber % 100));
    f.append(char(command)).append(char(subCode));
    f.append(payload);
    f.append(char(kEndMark));
    return f;
}

QByteArray DeviceFrames::filler(quint32 seed, int count)
{
    QByteArray out(qMax(0, count), Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 0x9E3779B9u;
    if (x == 0)
        x = 1;
    for (int i = 0; i < out.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        char c = char(x >> 24);
        if (static_cast<unsigned char>(c) == kEndMark)
            c = char(kEndMark + 1);
        out[i] = c;
    }
    return out;
}

QByteArray DeviceFrames::probeReply()
{
    return frame(CMD_PROBE, 0x01);
}

QByteArray DeviceFrames::presetList(int subCode, const QByteArray &names)
{
    return frame(CMD_PRESET_LIST, subCode, names);
}

QByteArray DeviceFrames::presetData(int subCode, int slot, int size)
{
    QByteArray payload;
    payload.append(char(slot + 1));
    payload.append(filler(quint32(subCode * 1000 + slot), size - kMinFrameSize - 1));
    return frame(CMD_READ_PRESET, subCode, payload);
}

QByteArray DeviceFrames::presetWritten(int subCode)
{
    return frame(CMD_PRESET_WRITTEN, subCode);
}

int DeviceFrames::memorySubCode(int packet)
{
    if (packet <= 24)
        return 4;
    if (packet <= 26)
        return 1;
    if (packet <= 28)
        return 3;
    if (packet == 29)
        return 2;
    return 5;
}

QByteArray DeviceFrames::memoryPacket(int packet)
{
    const int sub = memorySubCode(packet);
    const int size = kMemoryPacketSize[sub];
    QByteArray payload;
    payload.append(char(packet));
    payload.append(filler(quint32(100000 + packet), size - kMinFrameSize - 1));
    return frame(CMD_MEMORY_EXPORT, sub, payload);
}

QByteArray DeviceFrames::importAck(int subCode, int packet)
{
    return frame(CMD_MEMORY_IMPORT_ACK, subCode, QByteArray(1, char(packet)));
}

QByteArray DeviceFrames::firmwareReply(int command, int image, int number, int status, int extra)
{
    QByteArray payload;
    payload.append(char((number >> 8) & 0xFF)).append(char(number & 0xFF));
    payload.append(char(status)).append(char(extra));
    return frame(command, image, payload);
}

QByteArray DeviceFrames::dspFrame(int subCode, int number)
{
    QByteArray payload;
    payload.append(char((number >> 8) & 0xFF)).append(char(number & 0xFF));
    payload.append(filler(quint32(200000 + subCode * 1000 + number), 256));
    return frame(CMD_DSP_READ, subCode, payload);
}

QByteArray DeviceFrames::searchReply(quint16 tcpPort)
{
    // Content is not examined by the tool; carry something a person can recognise in a capture.
    QByteArray reply("Q48-SIM mixer ");
    reply.append(char(tcpPort >> 8)).append(char(tcpPort & 0xFF));
    reply.append(QByteArray(32 - reply.size(), '\0'));
    return reply;
}

} // namespace q48::sim

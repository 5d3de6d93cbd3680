#include "ToolFrames.h"

#include "link/CommandCodes.h"

#include <QCryptographicHash>
#include <QString>

namespace q48::test {

QByteArray toolFrame(int command, int subCode, const QByteArray &payload)
{
    QByteArray f = QByteArray::fromHex("0120030b00010001");
    f[kOffsetLength] = char(kMinFrameSize + payload.size());
    f.append(char(command)).append(char(subCode)).append(payload).append(char(kEndMark));
    return f;
}

QByteArray beginFrame(int image, int count, int command)
{
    if (command < 0)
        command = image == 0 ? CMD_FW_BEGIN_MAIN : CMD_FW_BEGIN;
    QByteArray payload;
    payload.append(char(count >> 8)).append(char(count & 0xFF)).append("\x01\x01");
    return toolFrame(command, image, payload);
}

QByteArray firmwarePacket(int image, int number, const QByteArray &data)
{
    QByteArray payload;
    payload.append(char(number >> 8)).append(char(number & 0xFF));
    payload.append(data.leftJustified(kFirmwarePacketData, '\0', true));
    payload.append(QByteArray(3, '\0'));
    QByteArray f = toolFrame(image == 0 ? CMD_FW_DATA_MAIN : CMD_FW_DATA, image, payload);
    f[kOffsetLength] = char(kFirmwarePacketFrameSize & 0xFF);
    return f;
}

QByteArray imageData(int packets)
{
    QByteArray data;
    for (int i = 0; i < packets * kFirmwarePacketData; ++i)
        data.append(char((i * 7 + i / 1024) & 0xFF));
    return data;
}

int memorySubCode(int packet)
{
    return packet <= 24 ? 4 : packet <= 26 ? 1 : packet <= 28 ? 3 : packet == 29 ? 2 : 5;
}

QByteArray importPacket(int packet)
{
    const int sub = memorySubCode(packet);
    QByteArray f =
        toolFrame(CMD_MEMORY_IMPORT, sub,
                  QByteArray(1, char(packet)) + QByteArray(kMemoryPacketSize[sub] - 12, char(packet)));
    f[kOffsetLength] = 0;
    return f;
}

int u8(const QByteArray &frame, int index)
{
    return index < frame.size() ? static_cast<unsigned char>(frame.at(index)) : -1;
}

int number16(const QByteArray &frame, int index)
{
    return u8(frame, index) * 256 + u8(frame, index + 1);
}

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace q48::test

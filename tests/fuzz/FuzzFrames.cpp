#include "FuzzFrames.h"

#include "link/CommandCodes.h"
#include "presets/MemoryFiles.h"
#include "presets/MemoryImage.h"

#include <initializer_list>

namespace q48::fuzz {

QByteArray deviceFrame(std::uint8_t command, std::uint8_t subCode, const QByteArray &payload, int size)
{
    QByteArray frame(size, '\0');
    const std::uint8_t head[kOffsetPayload] = {
        kSignature[0], kSignature[1], kSignature[2], std::uint8_t(size & 0xFF), 0x00, 0x01, 0x00,
        kDeviceNumber, command,       subCode};
    for (int i = 0; i < kOffsetPayload && i < size; ++i)
        frame[i] = char(head[i]);
    for (int i = 0; i < payload.size() && kOffsetPayload + i < size - 1; ++i)
        frame[kOffsetPayload + i] = payload[i];
    frame[size - 1] = char(kEndMark);
    return frame;
}

QByteArray memoryExportFrame(int packet)
{
    const MemoryImage::Area *area = MemoryImage::areaOfPacket(packet);
    return deviceFrame(CMD_MEMORY_EXPORT, std::uint8_t(area->subCode), QByteArray(1, char(packet)),
                       area->frameSize);
}

QByteArray memoryFileBytes()
{
    QByteArray bytes(kMemoryFileHeader);
    for (int p = 1; p <= MemoryImage::kPacketCount; ++p)
        bytes += memoryExportFrame(p);
    return bytes;
}

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray u16(int value)
{
    return bytes({value >> 8, value & 0xFF});
}

} // namespace

QList<QPair<QString, QByteArray>> seedInputs()
{
    QList<QPair<QString, QByteArray>> seeds;
    const auto add = [&seeds](const QString &name, std::uint8_t ctl, const QByteArray &stream) {
        seeds.append({name, QByteArray(1, char(ctl)) + stream});
    };

    for (int utype = 0; utype <= 1; ++utype) {
        QByteArray lists;
        for (int kind = 1; kind <= 4; ++kind) {
            const QByteArray list = deviceFrame(CMD_PRESET_LIST, std::uint8_t(kind), QByteArray(16, 'A'),
                                                kPresetListFrameSize[kind]);
            add(QStringLiteral("list-%1-u%2").arg(kind).arg(utype), control(utype, Idle, 0, 0), list);
            lists += list;
            const int size = kPresetFrameSize[kind] + (kind == 4 ? utype : 0);
            add(QStringLiteral("preset-%1-u%2").arg(kind).arg(utype), control(utype, Idle, 0, kind % 4),
                deviceFrame(CMD_READ_PRESET, std::uint8_t(kind), QByteArray(3, char(kind)), size));
            add(QStringLiteral("written-%1-u%2").arg(kind).arg(utype), control(utype, Idle, 0, 0),
                deviceFrame(CMD_PRESET_WRITTEN, std::uint8_t(kind), {}, kMinFrameSize));
        }
        add(QStringLiteral("lists-u%1").arg(utype), control(utype, Idle, 0, 3), lists);
    }

    QByteArray exportStream;
    QByteArray ackStream;
    for (int p = 1; p <= MemoryImage::kPacketCount; ++p) {
        exportStream += memoryExportFrame(p);
        const MemoryImage::Area *area = MemoryImage::areaOfPacket(p);
        ackStream += deviceFrame(CMD_MEMORY_IMPORT_ACK, std::uint8_t(area->subCode), QByteArray(1, char(p)),
                                 kMinFrameSize + 1);
    }
    add(QStringLiteral("export"), control(0, ExportStarted, 0, 0), exportStream);
    add(QStringLiteral("export-one"), control(0, ExportStarted, 0, 3), memoryExportFrame(25));
    add(QStringLiteral("import-acks"), control(0, ImportStarted, 0, 0), ackStream);
    add(QStringLiteral("import-ack-first"), control(1, ImportStarted, 0, 1),
        ackStream.left(kMinFrameSize + 1));

    QByteArray dspStream;
    for (int n = 0; n <= kDspLastPacket; ++n)
        dspStream += deviceFrame(CMD_DSP_READ, 2, u16(n) + QByteArray(4, char(n)), kDspFrameSize);
    add(QStringLiteral("dsp"), control(0, DspStarted, 0, 0), dspStream);
    add(QStringLiteral("dsp-last"), control(0, DspStarted, 0, 2), dspStream.right(kDspFrameSize));

    for (int image = 0; image < 4; ++image) {
        const std::uint8_t begin = image == 0 ? CMD_FW_BEGIN_MAIN : CMD_FW_BEGIN;
        const std::uint8_t data = image == 0 ? CMD_FW_DATA_MAIN : CMD_FW_DATA;
        const QByteArray ready = deviceFrame(begin, std::uint8_t(image), QByteArray(3, '\0'), 13);
        QByteArray run = ready;
        for (int n = 0; n <= 3; ++n)
            run += deviceFrame(data, std::uint8_t(image), u16(n) + bytes({0, n}), 14);
        add(QStringLiteral("firmware-%1").arg(image), control(0, FirmwareStarted, image, 0), run);
        add(QStringLiteral("firmware-ready-%1").arg(image), control(0, Idle, image, 0), ready);
        add(QStringLiteral("firmware-failed-%1").arg(image), control(0, FirmwareStarted, image, 1),
            deviceFrame(data, std::uint8_t(image), u16(1) + bytes({1, 0}), 14));
        add(QStringLiteral("firmware-refused-%1").arg(image), control(0, FirmwareStarted, image, 0),
            deviceFrame(begin, std::uint8_t(image), bytes({0, 0, 1}), 13));
    }
    return seeds;
}

} // namespace q48::fuzz

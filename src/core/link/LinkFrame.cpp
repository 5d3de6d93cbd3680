#include "LinkFrame.h"

namespace q48::LinkFrame {

QByteArray build(std::uint8_t command, std::uint8_t subCode, const QByteArray &payload)
{
    const qsizetype size = kMinFrameSize + payload.size();
    QByteArray frame;
    frame.reserve(size);
    frame.append(char(kSignature[0])).append(char(kSignature[1])).append(char(kSignature[2]));
    frame.append(char(size & 0xFF));
    frame.append(char(0x00)).append(char(0x01));
    frame.append(char(kDeviceNumber / 100)).append(char(kDeviceNumber % 100));
    frame.append(char(command)).append(char(subCode));
    frame.append(payload);
    frame.append(char(kEndMark));
    return frame;
}

QByteArray probe() { return build(CMD_PROBE, 0x01); }

} // namespace q48::LinkFrame

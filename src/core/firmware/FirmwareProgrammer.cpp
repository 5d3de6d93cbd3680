#include "FirmwareProgrammer.h"

#include "UserPrompts.h"
#include "firmware/ImageLoader.h"
#include "firmware/ImageStore.h"
#include "link/CommandCodes.h"
#include "link/DebugLog.h"
#include "link/Dispatcher.h"
#include "link/FrameSink.h"
#include "link/LinkCore.h"
#include "link/LinkFrame.h"
#include "link/PumpWait.h"
#include "link/WindowRegistry.h"

#include <algorithm>
#include <cstring>

namespace q48 {

namespace {

bool validImage(int i)
{
    return i >= 0 && i < kImageCount;
}

int byteAt(const QByteArray &frame, int index)
{
    return LinkFrame::byteAt(frame, index);
}

} // namespace

FirmwareProgrammer::FirmwareProgrammer(FrameSink &sink, Notifier &notifier, UserPrompts &prompts,
                                       ImageLoader &loader, DiscardInput discardInput)
    : m_sink(sink), m_notifier(notifier), m_prompts(prompts), m_loader(loader),
      m_discardInput(std::move(discardInput))
{
}

FirmwareProgrammer::FirmwareProgrammer(LinkCore &core, UserPrompts &prompts, ImageLoader &loader)
    : FirmwareProgrammer(core, core.notifier(), prompts, loader, [&core] { core.discardInput(); })
{
}

const ImageStore &FirmwareProgrammer::store() const
{
    return m_loader.store();
}

int FirmwareProgrammer::packNum(int i) const
{
    return validImage(i) ? store().packNum[i] : 0;
}

bool FirmwareProgrammer::isLinkConnected() const
{
    return m_sink.isLinkConnected();
}

void FirmwareProgrammer::discardInput()
{
    if (m_discardInput)
        m_discardInput();
}

bool FirmwareProgrammer::btnTotalClick()
{
    // The buffers are filled by the check thread; a run must not start on a half-read set.
    if (!m_loader.isCheckDone())
        m_loader.waitForCheck(m_checkTimeoutMs);

    // A run programs all four images, so every one of them must be there: an image that was
    // not loaded would go out with no packets and leave the device without that firmware. The
    // check stops at the first file it cannot use, so that is the one to name.
    const ImageStore &images = store();
    const auto notLoaded = std::find(images.imageLoaded.begin(), images.imageLoaded.end(), false);
    if (notLoaded != images.imageLoaded.end()) {
        const int missing = int(notLoaded - images.imageLoaded.begin());
        if (!images.failure.isEmpty())
            qCWarning(lcFirmware).noquote() << images.failure;
        m_prompts.message(QStringLiteral("Please check the firware of ") +
                          QLatin1String(firmwareIds[missing]) +
                          QStringLiteral(",We found the file has lost!"));
        return false;
    }
    if (!m_sink.isLinkConnected()) {
        m_prompts.message(QStringLiteral("Please connect the Remote Device first~!"));
        return false;
    }
    return true;
}

bool FirmwareProgrammer::ensureLinkFor(int i)
{
    if (m_sink.isLinkConnected())
        return true;
    const QString image = validImage(i) ? QLatin1String(firmwareIds[i]) : QString::number(i);
    m_prompts.message(QStringLiteral("The connection to the device was lost, so programming stopped before "
                                     "the firmware %1. Connect again and press Program to start over.")
                          .arg(image));
    return false;
}

QByteArray FirmwareProgrammer::prepareFrame()
{
    return LinkFrame::build(CMD_FW_PREPARE, 0x00);
}

QByteArray FirmwareProgrammer::startFrame(int i, int packetCount)
{
    const char payload[] = {char((packetCount >> 8) & 0xFF), char(packetCount & 0xFF), 0x01, 0x01};
    return LinkFrame::build(i == 0 ? CMD_FW_BEGIN_MAIN : CMD_FW_BEGIN, std::uint8_t(i),
                            QByteArray(payload, sizeof payload));
}

QByteArray FirmwareProgrammer::packetFrame(int i, int n, QByteArrayView data)
{
    // Built in place in one buffer: this runs once per device request, so its cost is paid a
    // thousand times per image.
    QByteArray frame(kFirmwarePacketFrameSize, Qt::Uninitialized);
    char *f = frame.data();
    f[0] = char(kSignature[0]);
    f[1] = char(kSignature[1]);
    f[2] = char(kSignature[2]);
    f[kOffsetLength] = char(kFirmwarePacketFrameSize & 0xFF);
    f[kOffsetMarker] = 0x00;
    f[kOffsetMarker + 1] = 0x01;
    f[kOffsetDeviceNumber] = char(kDeviceNumber / 100);
    f[kOffsetDeviceNumber + 1] = char(kDeviceNumber % 100);
    f[kOffsetCommand] = char(i == 0 ? CMD_FW_DATA_MAIN : CMD_FW_DATA);
    f[kOffsetSubCode] = char(i);
    f[kOffsetPayload] = char((n >> 8) & 0xFF);
    f[kOffsetPayload + 1] = char(n & 0xFF);
    const qsizetype used = std::min<qsizetype>(data.size(), kFirmwarePacketData);
    std::memcpy(f + kOffsetPayload + 2, data.constData(), size_t(used));
    std::memset(f + kOffsetPayload + 2 + used, 0xFF, size_t(kFirmwarePacketData - used));
    std::memset(f + kOffsetPayload + 2 + kFirmwarePacketData, 0x00, 3);
    f[kFirmwarePacketFrameSize - 1] = char(kEndMark);
    return frame;
}

void FirmwareProgrammer::sendPrepareFrame()
{
    m_sink.sendFrame(prepareFrame());
}

void FirmwareProgrammer::sendStartFrame(int i)
{
    if (!validImage(i))
        return;
    const QByteArray frame = startFrame(i, packNum(i));
    if (m_sink.isLinkConnected())
        debugLog(sendDataLine(i, frame), lcFirmware());
    m_sink.sendFrame(frame);
}

void FirmwareProgrammer::sendImagePacket(int i, int n)
{
    if (!validImage(i))
        return;
    if (n >= packNum(i)) {
        m_sink.sendFrame(QByteArray(1, char(FW_END_BYTE)));
        return;
    }
    // Straight from the image buffer: a copy of the packet first would double the work.
    const QByteArray &image = store().imageBuf[size_t(i)];
    const qsizetype at = qsizetype(n) * kFirmwarePacketData;
    const QByteArrayView data = image.size() >= at + kFirmwarePacketData
                                    ? QByteArrayView(image).sliced(at, kFirmwarePacketData)
                                    : QByteArrayView();
    m_sink.sendFrame(packetFrame(i, n, data));
}

void FirmwareProgrammer::handleFirmwareReady(const QByteArray &frame)
{
    if (byteAt(frame, 12) != 0 || LinkFrame::subCode(frame) != m_dindex) {
        m_notifier.notifyFirmwareResult(m_dindex, FW_RESULT_NOT_READY);
        return;
    }
    if (!validImage(m_dindex))
        return;
    sendImagePacket(m_dindex, 0);
    debugLogNumber(QStringLiteral("@@@@@ready fireware update with dindex is : "), m_dindex, lcFirmware());
}

void FirmwareProgrammer::handleFirmwareRequest(const QByteArray &frame)
{
    const int v = LinkFrame::subCode(frame);
    const int n = byteAt(frame, 10) * 256 + byteAt(frame, 11);
    const int status = byteAt(frame, 12);
    if (!validImage(v))
        return;
    if (status == 0) {
        if (n < packNum(v)) {
            sendImagePacket(v, n);
            m_notifier.notifyFirmwareProgress(n, byteAt(frame, 13));
            // The window needs a turn of the event loop now and then to repaint its gauge, not
            // one per packet: on loopback a turn costs as much as answering the packet.
            if (!m_lastPump.isValid() || m_lastPump.hasExpired(kPumpIntervalMs)) {
                processPendingOnce();
                m_lastPump.start();
            }
        } else if (n == packNum(v)) {
            m_notifier.notifyFirmwareResult(v, FW_RESULT_DONE);
        }
    } else if (status == 1) {
        m_notifier.notifyFirmwareResult(v, FW_RESULT_FAILED);
    }
}

void FirmwareProgrammer::registerHandlers(Dispatcher &dispatcher)
{
    dispatcher.setHandler(CMD_FW_BEGIN, [this](const QByteArray &frame) { handleFirmwareReady(frame); });
    dispatcher.setHandler(CMD_FW_DATA, [this](const QByteArray &frame) { handleFirmwareRequest(frame); });
}

} // namespace q48

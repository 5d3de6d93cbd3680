#include "DspReadback.h"

#include "UserPrompts.h"
#include "link/CommandCodes.h"
#include "link/DebugLog.h"
#include "link/Dispatcher.h"
#include "link/FrameSink.h"
#include "link/LinkFrame.h"
#include "link/ResponseWatchdog.h"
#include "presets/FileAccess.h"

#include <QCoreApplication>
#include <QDir>

namespace q48 {

namespace {
// Data runs from byte 12 to the byte before the end mark.
constexpr int kDspDataOffset = 12;
// A whole DSP image; a device that keeps streaming past it must not grow the buffer forever.
constexpr qsizetype kDspDataLimit = qsizetype(kDspLastPacket + 1) * 256;
} // namespace

DspReadback::DspReadback(FrameSink &sink, ResponseWatchdog &watchdog, UserPrompts &prompts,
                         const QString &outputFolder, QObject *parent)
    : QObject(parent), m_sink(sink), m_watchdog(watchdog), m_prompts(prompts)
{
    setOutputFolder(outputFolder);
    connect(&m_watchdog, &ResponseWatchdog::gaveUp, this, [this] { m_dspReady = true; });
}

void DspReadback::setOutputFolder(const QString &folder)
{
    m_outputFolder = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

QString DspReadback::dspFilePath(int code) const
{
    return QDir(m_outputFolder).filePath(QStringLiteral("DSP%1.bin").arg(code - 1));
}

QByteArray DspReadback::dspRequestFrame(int itemIndex)
{
    return LinkFrame::build(CMD_DSP_READ, std::uint8_t(itemIndex + 2), QByteArray(4, 0x01));
}

void DspReadback::DSPbtn1Click(int itemIndex)
{
    if (!m_dspReady)
        return;
    debugLog(QStringLiteral("being send type :") + QString::number(itemIndex), lcFirmware());
    m_dspData.clear();
    sendDspRequest(itemIndex);
    m_watchdog.startWatchdog();
    m_dspReady = false;
}

bool DspReadback::sendDspRequest(int itemIndex)
{
    if (itemIndex != 0 && itemIndex != 1)
        return false;
    if (!m_sink.isLinkConnected())
        return false;
    const QByteArray frame = dspRequestFrame(itemIndex);
    debugLog(sendDataLine(itemIndex + 1, frame), lcFirmware());
    return m_sink.sendFrame(frame);
}

void DspReadback::handleDspData(const QByteArray &frame)
{
    debugLog(QStringLiteral("receive dsp data"), lcFirmware());
    const int code = LinkFrame::subCode(frame);
    const int packet = LinkFrame::byteAt(frame, 10) * 256 + LinkFrame::byteAt(frame, 11);
    setProgress(packet);
    const qsizetype room = kDspDataLimit - m_dspData.size();
    const qsizetype length = qMin<qsizetype>(frame.size() - kDspDataOffset - 1, room);
    if (length > 0)
        m_dspData.append(frame.constData() + kDspDataOffset, length);
    else if (frame.size() > kDspDataOffset + 1)
        debugLogNumber(QStringLiteral("DSP data beyond a whole image dropped, packet"), packet, lcFirmware());
    if (packet != kDspLastPacket)
        return;
    m_watchdog.stopWatchdog();
    const QByteArray data = m_dspData;
    m_dspData.clear();
    saveDspImage(code, data);
    m_dspReady = true;
}

bool DspReadback::saveDspImage(int code, const QByteArray &data)
{
    setProgress(m_progress + 1);
    const QString path = dspFilePath(code);
    QString error;
    // The trailing CR LF makes the file a valid image file, whose last two bytes are dropped.
    const bool saved = FileAccess::writeWholeFile(path, data + QByteArrayLiteral("\r\n"), &error);
    if (saved) {
        emit imageSaved(path);
        m_prompts.message(QStringLiteral("Receiver Data over!"));
    } else {
        m_prompts.message(error +
                          QStringLiteral(" The DSP image read from the device was not saved; choose a "
                                         "writable folder and read it again."));
    }
    m_dspReady = true;
    return saved;
}

void DspReadback::registerHandlers(Dispatcher &dispatcher)
{
    dispatcher.setHandler(CMD_DSP_READ, [this](const QByteArray &frame) { handleDspData(frame); });
}

void DspReadback::setProgress(int value)
{
    m_progress = qBound(0, value, kProgressMaximum);
    emit progressChanged(m_progress);
}

} // namespace q48

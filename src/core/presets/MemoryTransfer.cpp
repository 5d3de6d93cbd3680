#include "MemoryTransfer.h"

#include "UserPrompts.h"
#include "link/CommandCodes.h"
#include "link/DebugLog.h"
#include "link/Dispatcher.h"
#include "link/FrameSink.h"
#include "link/LinkFrame.h"
#include "link/WindowRegistry.h"
#include "presets/MemoryFiles.h"

#include <QStringList>

namespace q48 {

namespace {
const QString kNotConnected = QStringLiteral("No connected to device");
const QString kSaveTitle = QStringLiteral("Save memory to file");
constexpr int kSceneLastPacket = 24;

QString incompleteExportText(const QList<int> &missing)
{
    QStringList numbers;
    for (int packet : missing)
        numbers << QString::number(packet);
    const QString which = missing.size() == 1 ? QStringLiteral("packet %1 did not arrive")
                                              : QStringLiteral("packets %1 did not arrive");
    return QStringLiteral("Memory export incomplete: %1. Nothing was saved; please export again.")
        .arg(which.arg(numbers.join(QStringLiteral(", "))));
}
} // namespace

MemoryTransfer::MemoryTransfer(FrameSink &sink, Notifier &notifier, UserPrompts &prompts,
                               MemoryImage &memoryImage, MemoryFiles &files, QObject *parent)
    : QObject(parent), m_sink(sink), m_notifier(notifier), m_prompts(prompts), memoryImage(memoryImage),
      m_files(files)
{
}

QByteArray MemoryTransfer::exportRequestFrame()
{
    return LinkFrame::build(CMD_MEMORY_EXPORT, 0);
}

bool MemoryTransfer::memExptBtnClick()
{
    m_importing = false;
    if (m_sink.isLinkConnected()) {
        m_notifier.notifyTransferState(0);
        if (requestMemoryExport(m_sink))
            return true;
    }
    // Also when the write itself failed: the window must get its controls back.
    m_prompts.message(kNotConnected);
    m_notifier.notifyTransferState(1);
    return false;
}

bool MemoryTransfer::memImptBtnClick()
{
    m_importing = false;
    if (!m_sink.isLinkConnected()) {
        m_lastFileResult = {FileResult::Failed, {}, kNotConnected};
        m_prompts.message(kNotConnected);
        m_notifier.notifyTransferState(1);
        return false;
    }
    // A refused file leaves the image as it was and nothing goes to the mixer.
    m_lastFileResult = m_files.readMemoryFile(memoryImage);
    if (!m_lastFileResult.ok()) {
        m_notifier.notifyTransferState(1);
        return false;
    }
    m_notifier.notifyTransferState(0);
    m_importing = sendImportPacket(1);
    if (m_importing)
        return true;
    // The link went while the file dialog was open.
    m_prompts.message(kNotConnected);
    m_notifier.notifyTransferState(1);
    return false;
}

bool MemoryTransfer::requestMemoryExport(FrameSink &link)
{
    // Only packets of this export may end up in the file.
    m_exportReceived.reset();
    const QByteArray frame = exportRequestFrame();
    const bool sent = link.sendFrame(frame);
    QString line = QStringLiteral("memory export --");
    for (char byte : frame)
        line += QStringLiteral(" %1").arg(quint8(byte), 2, 16, QLatin1Char('0')).toUpper();
    debugLog(line, lcMemory());
    return sent;
}

bool MemoryTransfer::sendImportPacket(int packet)
{
    QByteArray frame = memoryImage.packetFrame(packet);
    if (frame.isEmpty())
        return false;
    frame[kOffsetCommand] = char(CMD_MEMORY_IMPORT);
    if (!m_sink.sendFrame(frame))
        return false;
    if (packet <= kSceneLastPacket)
        debugLog(QStringLiteral("you has send memoryimport -sence now..."), lcMemory());
    return true;
}

QList<int> MemoryTransfer::missingExportPackets() const
{
    QList<int> missing;
    for (int packet = 1; packet <= MemoryImage::kPacketCount; ++packet)
        if (!m_exportReceived.test(size_t(packet - 1)))
            missing << packet;
    return missing;
}

void MemoryTransfer::handleMemoryExport(const QByteArray &frame)
{
    const int subCode = LinkFrame::subCode(frame);
    const int packet = LinkFrame::byteAt(frame, kOffsetPayload);
    m_notifier.notifyExportPacket(packet);
    emit exportPacket(packet);

    if (!memoryImage.storeExportPacket(subCode, packet, frame)) {
        debugLogNumber(QStringLiteral("memory export packet dropped, sub-code %1, size %2")
                           .arg(subCode)
                           .arg(frame.size()),
                       packet, lcMemory());
        return;
    }
    m_exportReceived.set(size_t(packet - 1));
    switch (subCode) {
    case 1:
        debugLogNumber(QStringLiteral("receive dsp fatc channel packnum num........"), packet, lcMemory());
        break;
    case 3:
        debugLogNumber(QStringLiteral("receive dfx packnum num........"), packet, lcMemory());
        break;
    case 2:
        debugLog(QStringLiteral("receive geq packnum 29 over........"), lcMemory());
        break;
    case 5:
        finishExport();
        break;
    default:
        break;
    }
}

void MemoryTransfer::finishExport()
{
    const QList<int> missing = missingExportPackets();
    // The next stream starts a new record, also one the device sends unasked.
    m_exportReceived.reset();

    FileResult result;
    if (missing.isEmpty()) {
        // The save dialogs may let further frames in; the file gets this export as it stands.
        const MemoryImage exported = memoryImage;
        result = m_files.saveMemoryFile(exported);
    } else {
        // Slots that did not arrive hold zeros or an older export: such a file would pass as
        // whole and put mixed memory into the mixer on import.
        const QString text = incompleteExportText(missing);
        qCWarning(lcMemory).noquote() << text;
        m_prompts.message(text, kSaveTitle);
        result = {FileResult::Rejected, {}, text};
    }
    m_notifier.notifyTransferState(1);
    debugLog(QStringLiteral("receive currentscene packnum 30 over........"), lcMemory());
    emit exportFinished(result, missing);
}

void MemoryTransfer::handleImportAck(const QByteArray &frame)
{
    const int subCode = LinkFrame::subCode(frame);
    const int packet = LinkFrame::byteAt(frame, kOffsetPayload);
    m_notifier.notifyImportPacket(packet);
    emit importPacket(packet);

    // Packet p is acknowledged with its own area's sub-code; only that sends packet p + 1.
    // A repeated acknowledgement sends the following packet again. Outside an import nothing is
    // sent: the image may hold zeros or an export the user never chose to write to the mixer.
    const MemoryImage::Area *area = MemoryImage::areaOfPacket(packet);
    if (area && packet < MemoryImage::kPacketCount && area->subCode == subCode) {
        if (m_importing)
            sendImportPacket(packet + 1);
        else
            debugLogNumber(QStringLiteral("import acknowledgement without an import, ignored"), packet,
                           lcMemory());
    } else if (packet == MemoryImage::kPacketCount && subCode == 4)
        debugLog(QStringLiteral("memory import over............................."), lcMemory());
    else if (packet == MemoryImage::kPacketCount && subCode == 5)
        m_notifier.notifyTransferState(1);

    if (packet == MemoryImage::kPacketCount) {
        m_importing = false;
        m_notifier.notifyTransferState(1);
        emit importFinished();
    }
}

void MemoryTransfer::registerHandlers(Dispatcher &dispatcher)
{
    dispatcher.setHandler(CMD_MEMORY_EXPORT, [this](const QByteArray &frame) { handleMemoryExport(frame); });
    dispatcher.setHandler(CMD_MEMORY_IMPORT_ACK, [this](const QByteArray &frame) { handleImportAck(frame); });
}

} // namespace q48

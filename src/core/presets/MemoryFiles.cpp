#include "MemoryFiles.h"

#include "UserPrompts.h"
#include "link/CommandCodes.h"
#include "link/DebugLog.h"
#include "presets/FileAccess.h"
#include "presets/MemoryImage.h"

#include <QFileInfo>

namespace q48 {

namespace {
const QString kSavePrompt = QStringLiteral("Memory export receive finished,are you sure to save to file ?!");
const QString kSaveTitle = QStringLiteral("Save memory to file");
const QString kReadPrompt = QStringLiteral("are you sure to load memory file to device?");
const QString kReadTitle = QStringLiteral("load meory to device");
const QString kFilter = QString::fromLatin1(kMemoryFileFilter);
} // namespace

static_assert(kMemoryFileSize == 16 + MemoryImage::kSize);

MemoryFiles::MemoryFiles(UserPrompts &prompts) : m_prompts(prompts) {}

int MemoryFiles::firstBadPacket(const QByteArray &imageBytes)
{
    if (imageBytes.size() != MemoryImage::kSize)
        return -1;
    for (int packet = 1; packet <= MemoryImage::kPacketCount; ++packet) {
        const MemoryImage::Area *area = MemoryImage::areaOfPacket(packet);
        const auto *frame =
            reinterpret_cast<const quint8 *>(imageBytes.constData() + MemoryImage::packetOffset(packet));
        const bool good = frame[0] == kSignature[0] && frame[1] == kSignature[1] &&
                          frame[2] == kSignature[2] && frame[kOffsetCommand] == CMD_MEMORY_EXPORT &&
                          frame[kOffsetSubCode] == area->subCode && frame[kOffsetPayload] == packet;
        if (!good)
            return packet;
    }
    return 0;
}

FileResult MemoryFiles::saveMemoryFile(const MemoryImage &image)
{
    // A packet that never arrived would go to the mixer as garbage on import; such a file
    // would be refused on loading, so say so now while the export can still be repeated.
    if (const int bad = firstBadPacket(image.bytes())) {
        const QString error =
            QStringLiteral(
                "The memory export is incomplete: packet %1 did not arrive. Nothing was saved; please "
                "export again.")
                .arg(bad);
        qCWarning(lcFiles).noquote() << error;
        m_prompts.message(error, kSaveTitle);
        return {FileResult::Rejected, {}, error};
    }

    if (!m_prompts.askYesNo(kSavePrompt, kSaveTitle))
        return {FileResult::Declined, {}, {}};
    QString path = m_prompts.saveFileName(kFilter).trimmed();
    if (path.isEmpty())
        return {FileResult::Cancelled, {}, {}};
    const QString ext = QString::fromLatin1(kMemoryFileExtension);
    if (!path.endsWith(ext, Qt::CaseInsensitive))
        path += ext;

    QString error;
    if (!FileAccess::writeWholeFile(path, QByteArray(kMemoryFileHeader, 16) + image.bytes(), &error)) {
        m_prompts.message(error, kSaveTitle);
        return {FileResult::Failed, path, error};
    }
    debugLog(QStringLiteral("memory saved to ") + path, lcFiles());
    return {FileResult::Done, path, {}};
}

FileResult MemoryFiles::readMemoryFile(MemoryImage &image)
{
    if (!m_prompts.askYesNo(kReadPrompt, kReadTitle))
        return {FileResult::Declined, {}, {}};
    const QString path = m_prompts.openFileName(kFilter).trimmed();
    if (path.isEmpty())
        return {FileResult::Cancelled, {}, {}};

    const QString shown = FileAccess::displayPath(path);
    const QFileInfo info(path);
    if (info.exists() && !info.isDir() && info.size() != kMemoryFileSize) {
        const QString error = QStringLiteral("\"%1\" is not a memory export file: it has %2 bytes, not %3.")
                                  .arg(shown)
                                  .arg(info.size())
                                  .arg(kMemoryFileSize);
        qCWarning(lcFiles).noquote() << error;
        m_prompts.message(error, kReadTitle);
        return {FileResult::Rejected, path, error};
    }
    QByteArray bytes;
    QString error;
    if (!FileAccess::readWholeFile(path, kMemoryFileSize, &bytes, &error)) {
        m_prompts.message(error, kReadTitle);
        return {FileResult::Failed, path, error};
    }
    const QByteArray imageBytes = bytes.mid(16);
    if (const int bad = firstBadPacket(imageBytes)) {
        error =
            QStringLiteral("The memory file is damaged: packet %1 is not a memory export packet.").arg(bad);
        qCWarning(lcFiles).noquote() << error << shown;
        m_prompts.message(error, kReadTitle);
        return {FileResult::Rejected, path, error};
    }
    image.setBytes(imageBytes);
    return {FileResult::Done, path, {}};
}

} // namespace q48

#include "PresetFiles.h"

#include "UserPrompts.h"
#include "link/CommandCodes.h"
#include "link/DebugLog.h"
#include "link/WindowRegistry.h"
#include "presets/FileAccess.h"
#include "presets/PresetKinds.h"

#include <QFileInfo>

namespace q48 {

namespace {
const QString kSavePrompt = QStringLiteral("Preset receive finished,are you sure to save to file ?!");
const QString kSaveTitle = QStringLiteral("Save Preset to file.");
const QString kReadPrompt = QStringLiteral("are you sure to read preset file to device?");
const QString kReadTitle = QStringLiteral("read presets to device");
const QString kWrongFrame = QStringLiteral("Not right preset file to exported~!");

bool hasSignature(const QByteArray &frame)
{
    return frame.size() > kOffsetSubCode && quint8(frame[0]) == kSignature[0] &&
           quint8(frame[1]) == kSignature[1] && quint8(frame[2]) == kSignature[2];
}
} // namespace

PresetFiles::PresetFiles(UserPrompts &prompts, Notifier &notifier) : m_prompts(prompts), m_notifier(notifier)
{
}

QString PresetFiles::presetFileFilter(int kind)
{
    const QString ext = kindExtension(kind);
    return QStringLiteral("PresetExportFile(*%1)|*%1").arg(ext);
}

FileResult PresetFiles::savePresetFile(int kind, const QByteArray &frame)
{
    const int length = presetFrameLength(kind, m_utype);
    if (length == 0 || frame.size() != length) {
        m_prompts.message(kWrongFrame);
        return {FileResult::Rejected, {}, kWrongFrame};
    }
    if (!m_prompts.askYesNo(kSavePrompt, kSaveTitle))
        return {FileResult::Declined, {}, {}};
    QString path = m_prompts.saveFileName(presetFileFilter(kind)).trimmed();
    if (path.isEmpty())
        return {FileResult::Cancelled, {}, {}};
    const QString ext = kindExtension(kind);
    if (!path.endsWith(ext, Qt::CaseInsensitive))
        path += ext;

    QString error;
    if (!FileAccess::writeWholeFile(path, QByteArray(kPresetFileHeader, kFileHeaderSize) + frame, &error)) {
        m_prompts.message(error, kSaveTitle);
        return {FileResult::Failed, path, error};
    }
    debugLog(QStringLiteral("preset saved to ") + path, lcFiles());
    return {FileResult::Done, path, {}};
}

FileResult PresetFiles::readPresetFile(int kind)
{
    if (!m_prompts.askYesNo(kReadPrompt, kReadTitle))
        return {FileResult::Declined, {}, {}};
    const QString path = m_prompts.openFileName(presetFileFilter(kind)).trimmed();
    if (path.isEmpty())
        return {FileResult::Cancelled, {}, {}};

    const auto reject = [&](const QString &why) {
        qCWarning(lcFiles).noquote() << why;
        m_notifier.notifyPresetFileRejected();
        return FileResult{FileResult::Rejected, path, why};
    };

    const int length = presetFrameLength(kind, m_utype);
    const qint64 fileSize = length + kFileHeaderSize;
    const QFileInfo info(path);
    if (info.exists() && !info.isDir() && (length == 0 || info.size() != fileSize))
        return reject(QStringLiteral("\"%1\" is not a %2 preset file: it has %3 bytes, not %4.")
                          .arg(FileAccess::displayPath(path), kindLabel(kind))
                          .arg(info.size())
                          .arg(fileSize));

    QByteArray bytes;
    QString error;
    if (!FileAccess::readWholeFile(path, fileSize, &bytes, &error)) {
        m_prompts.message(error, kReadTitle);
        return {FileResult::Failed, path, error};
    }
    const QByteArray frame = bytes.mid(kFileHeaderSize);
    // The file goes to the mixer as it stands, so it must hold a preset frame of this kind.
    if (!hasSignature(frame) || quint8(frame[kOffsetSubCode]) != subCodeOfKind(kind))
        return reject(QStringLiteral("\"%1\" does not hold a %2 preset.")
                          .arg(FileAccess::displayPath(path), kindLabel(kind)));

    m_presetFileData = frame;
    m_presetFileKind = kind;
    return {FileResult::Done, path, {}};
}

} // namespace q48

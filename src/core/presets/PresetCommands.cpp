#include "PresetCommands.h"

#include "link/CommandCodes.h"
#include "link/DebugLog.h"
#include "link/Dispatcher.h"
#include "link/FrameSink.h"
#include "link/LinkFrame.h"
#include "link/WindowRegistry.h"
#include "presets/PresetFiles.h"
#include "presets/PresetKinds.h"
#include "presets/TData.h"

#include <cstring>

namespace q48 {

namespace {
constexpr int kChannelOffset = kOffsetPayload;

char byteOf(int value)
{
    return char(quint8(value));
}
} // namespace

PresetCommands::PresetCommands(FrameSink &sink, Notifier &notifier, TData &data, PresetFiles &files,
                               int utype, QObject *parent)
    : QObject(parent), m_sink(sink), m_notifier(notifier), m_data(data), m_files(files), m_utype(utype)
{
}

bool PresetCommands::send(const QByteArray &frame)
{
    return !frame.isEmpty() && m_sink.sendFrame(frame);
}

QByteArray PresetCommands::presetNameFrame(int kind, int slot, int channel) const
{
    // A slot the kind does not have goes out with a name of zeros, as the device expects.
    QByteArray name(kPresetNameBytes, '\0');
    if (isPresetKind(kind) && slot >= 0 && slot < slotCount(kind))
        std::memcpy(name.data(), m_data.presetBlock(kind).data() + slot * kPresetNameBytes, kPresetNameBytes);
    QByteArray payload;
    payload.append(byteOf(channel + 1)).append(byteOf(slot)).append(name);
    return LinkFrame::build(CMD_SAVE_PRESET_NAME, quint8(subCodeOfKind(kind)), payload);
}

QByteArray PresetCommands::deletePresetFrame(int kind, int slot)
{
    return LinkFrame::build(CMD_DELETE_PRESET, quint8(subCodeOfKind(kind)), QByteArray(1, byteOf(slot)));
}

QByteArray PresetCommands::readPresetFrame(int kind, int slot)
{
    return LinkFrame::build(CMD_READ_PRESET, quint8(subCodeOfKind(kind)), QByteArray(1, byteOf(slot + 1)));
}

QByteArray PresetCommands::presetListFrame(int kind)
{
    return LinkFrame::build(CMD_PRESET_LIST, quint8(subCodeOfKind(kind)));
}

QByteArray PresetCommands::presetDataFrame(int kind, int channel) const
{
    const int length = presetFrameLength(kind, m_utype);
    const QByteArray &stored = m_files.presetFileData();
    // Padding a shorter preset with zeros, or cutting a longer one, would write garbage into
    // the mixer: only a whole preset of this very kind goes out.
    if (length == 0 || stored.size() != length || m_files.presetFileKind() != kind) {
        qCWarning(lcPresets).noquote()
            << QStringLiteral("no %1 preset file read; nothing to write")
                   .arg(isPresetKind(kind) ? kindLabel(kind) : QString::number(kind));
        return {};
    }
    QByteArray frame = stored;
    frame[kOffsetCommand] = char(CMD_WRITE_PRESET);
    // A scene preset applies to the whole mixer and keeps its stored byte 10.
    if (kind != kKindScene)
        frame[kChannelOffset] = byteOf(channel + 1);
    return frame;
}

bool PresetCommands::sendPresetName(int kind, int slot, int channel)
{
    return send(presetNameFrame(kind, slot, channel));
}

bool PresetCommands::sendDeletePreset(int kind, int slot)
{
    return send(deletePresetFrame(kind, slot));
}

bool PresetCommands::requestPreset(int kind, int slot)
{
    return send(readPresetFrame(kind, slot));
}

bool PresetCommands::requestPresetList(int kind)
{
    return send(presetListFrame(kind));
}

bool PresetCommands::sendPresetData(int kind, int channel)
{
    return send(presetDataFrame(kind, channel));
}

void PresetCommands::handlePresetList(const QByteArray &frame)
{
    const int subCode = LinkFrame::subCode(frame);
    const int kind = subCode - 1;
    if (isPresetKind(kind)) {
        const std::span<char> block = m_data.presetBlock(kind);
        if (frame.size() < kOffsetPayload + qsizetype(block.size())) {
            debugLogNumber(QStringLiteral("preset list too short for its kind, dropped"), subCode,
                           lcPresets());
            return;
        }
        std::memcpy(block.data(), frame.constData() + kOffsetPayload, block.size());
        emit presetListStored(kind);
        if (kind != kKindScene) {
            requestPresetList(kind + 1);
        } else {
            m_notifier.notifyPresetListsRead();
            emit listsRead();
        }
    }
    debugLog(QStringLiteral("read presetlist now............."), lcPresets());
}

void PresetCommands::handlePresetData(const QByteArray &frame)
{
    const FileResult result = m_files.savePresetFile(LinkFrame::subCode(frame) - 1, frame);
    emit presetFileSaved(result);
    m_notifier.notifyPresetRead();
}

void PresetCommands::handlePresetWritten(const QByteArray &frame)
{
    const int kind = LinkFrame::subCode(frame) - 1;
    debugLog(QStringLiteral("send ms"), lcPresets());
    m_notifier.notifyPresetWritten(kind);
    emit presetWritten(kind);
}

void PresetCommands::registerHandlers(Dispatcher &dispatcher)
{
    dispatcher.setHandler(CMD_PRESET_LIST, [this](const QByteArray &frame) { handlePresetList(frame); });
    dispatcher.setHandler(CMD_READ_PRESET, [this](const QByteArray &frame) { handlePresetData(frame); });
    dispatcher.setHandler(CMD_PRESET_WRITTEN,
                          [this](const QByteArray &frame) { handlePresetWritten(frame); });
}

} // namespace q48

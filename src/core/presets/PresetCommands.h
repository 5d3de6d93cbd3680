#pragma once

#include "presets/FileResult.h"

#include <QByteArray>
#include <QObject>

namespace q48 {

class Dispatcher;
class FrameSink;
class Notifier;
class PresetFiles;
class TData;

// The preset side of the mixer protocol: the five frames that list, name, delete, read and
// write presets, and the handling of the three preset replies. Nothing is kept between
// frames; the device paces everything and there is no time-out or retry.
class PresetCommands : public QObject {
    Q_OBJECT
public:
    PresetCommands(FrameSink &sink, Notifier &notifier, TData &data, PresetFiles &files, int utype = 0,
                   QObject *parent = nullptr);

    // The scene preset is one byte longer on devices with utype 1.
    void setUtype(int utype) { m_utype = utype; }
    int utype() const { return m_utype; }

    // Each returns true when its frame went to a connected link; otherwise nothing is sent.
    bool sendPresetName(int kind, int slot, int channel);
    bool sendDeletePreset(int kind, int slot);
    bool requestPreset(int kind, int slot);
    bool requestPresetList(int kind);
    // Sends the preset file read last, which must be a whole preset of `kind`.
    bool sendPresetData(int kind, int channel);

    // The frames the senders build, for callers that want to see them.
    QByteArray presetNameFrame(int kind, int slot, int channel) const;
    static QByteArray deletePresetFrame(int kind, int slot);
    static QByteArray readPresetFrame(int kind, int slot);
    static QByteArray presetListFrame(int kind);
    // Empty when the preset file data is not a whole preset of `kind`.
    QByteArray presetDataFrame(int kind, int channel) const;

    void handlePresetList(const QByteArray &frame);
    void handlePresetData(const QByteArray &frame);
    void handlePresetWritten(const QByteArray &frame);

    // Routes the three preset replies to this object.
    void registerHandlers(Dispatcher &dispatcher);

signals:
    // A name list of kind 0..3 has been stored.
    void presetListStored(int kind);
    // The Scene list, the last of the chain, has been stored.
    void listsRead();
    // A received preset went through the save offer; says whether and where it was saved.
    void presetFileSaved(const q48::FileResult &result);
    // The device confirmed a preset write; the kind as the device sent it (sub-code - 1).
    void presetWritten(int kind);

private:
    bool send(const QByteArray &frame);

    FrameSink &m_sink;
    Notifier &m_notifier;
    TData &m_data;
    PresetFiles &m_files;
    int m_utype;
};

} // namespace q48

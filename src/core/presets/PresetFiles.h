#pragma once

#include "presets/FileResult.h"

#include <QByteArray>
#include <QString>

namespace q48 {

class UserPrompts;
class Notifier;

inline constexpr char kPresetFileHeader[] = "**PresetExport**";
inline constexpr int kFileHeaderSize = 16;

// Preset files: a 16-byte header, then one preset data frame exactly as the device sent it.
class PresetFiles {
public:
    PresetFiles(UserPrompts &prompts, Notifier &notifier);

    // The scene frame is one byte longer on devices with utype 1.
    void setUtype(int utype) { m_utype = utype; }
    int utype() const { return m_utype; }

    // Offers to store a received preset frame; the extension is added unless the chosen
    // name already has it. A frame of the wrong size is reported and not saved.
    FileResult savePresetFile(int kind, const QByteArray &frame);

    // Asks for a preset file of the kind and keeps its frame in presetFileData. A file of the
    // wrong size, or whose frame is not a preset of this kind, raises the rejection event
    // and leaves presetFileData as it was.
    FileResult readPresetFile(int kind);

    // The frame of the preset file read last (presetFrameLength of its kind); empty at first.
    const QByteArray &presetFileData() const { return m_presetFileData; }
    int presetFileKind() const { return m_presetFileKind; }

    static QString presetFileFilter(int kind);

private:
    UserPrompts &m_prompts;
    Notifier &m_notifier;
    int m_utype = 0;
    QByteArray m_presetFileData;
    int m_presetFileKind = -1;
};

} // namespace q48

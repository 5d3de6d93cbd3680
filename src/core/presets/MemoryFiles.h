#pragma once

#include "presets/FileResult.h"

#include <QString>

namespace q48 {

class UserPrompts;
class MemoryImage;

inline constexpr char kMemoryFileHeader[] = "Q48MemoryExport-";
inline constexpr char kMemoryFileExtension[] = ".ept";
inline constexpr char kMemoryFileFilter[] = "MemoryExportFile(*.ept)|*.ept";
inline constexpr int kMemoryFileSize = 16 + 113768;

// Memory files (.ept): a 16-byte header, then the memory image, that is the 30 export
// frames in packet order.
class MemoryFiles {
public:
    explicit MemoryFiles(UserPrompts &prompts);

    FileResult saveMemoryFile(const MemoryImage &image);
    // Fills the image only from a whole file whose 30 frames are all memory export frames of
    // their slots; anything else leaves the image untouched.
    FileResult readMemoryFile(MemoryImage &image);

    // The first packet (1..30) whose slot does not hold a memory export frame of that slot's
    // sub-code and packet number, 0 when all do (-1 for an image of the wrong size). Such an
    // image must not be sent to the mixer.
    static int firstBadPacket(const QByteArray &imageBytes);

private:
    UserPrompts &m_prompts;
};

} // namespace q48

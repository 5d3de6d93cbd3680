#pragma once

#include "presets/FileResult.h"
#include "presets/MemoryImage.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <bitset>

namespace q48 {

class Dispatcher;
class FrameSink;
class MemoryFiles;
class Notifier;
class UserPrompts;

// The whole-memory exchange: the export, in which the mixer streams its 30 packets after one
// request, and the import, in which the stored packets go back one at a time, each after
// the device acknowledged the one before. The device paces both; there is no time-out or retry
// here (a front end may set its own deadline).
class MemoryTransfer : public QObject {
    Q_OBJECT
public:
    MemoryTransfer(FrameSink &sink, Notifier &notifier, UserPrompts &prompts, MemoryImage &memoryImage,
                   MemoryFiles &files, QObject *parent = nullptr);

    // Starts an export; true when the request went out. Without a link the user is told so
    // and the window gets its controls back.
    bool memExptBtnClick();
    // Asks for a memory file and starts sending it; true when packet 1 went out. A declined
    // prompt, a cancelled dialog or a refused file send nothing (see lastFileResult()).
    bool memImptBtnClick();

    // Sends the export request if the link is connected and starts a fresh export record.
    bool requestMemoryExport(FrameSink &link);
    // The stored frame of packet 1..30 with its command byte changed to import.
    bool sendImportPacket(int packet);

    void handleMemoryExport(const QByteArray &frame);
    void handleImportAck(const QByteArray &frame);

    void registerHandlers(Dispatcher &dispatcher);

    // Packets of the export under way that have not arrived (or not whole) so far.
    QList<int> missingExportPackets() const;
    // What the memory file read of the last import start came to.
    const FileResult &lastFileResult() const { return m_lastFileResult; }

    static QByteArray exportRequestFrame();

signals:
    void exportPacket(int packet);
    // Packet 30 arrived. With packets missing nothing is saved: the result is Rejected and
    // `missingPackets` lists them; otherwise the result of the file save.
    void exportFinished(const q48::FileResult &result, const QList<int> &missingPackets);
    void importPacket(int packet);
    // The device acknowledged packet 30.
    void importFinished();

private:
    void finishExport();

    FrameSink &m_sink;
    Notifier &m_notifier;
    UserPrompts &m_prompts;
    MemoryImage &memoryImage;
    MemoryFiles &m_files;
    // Bit p - 1: packet p of this export arrived whole and was stored.
    std::bitset<MemoryImage::kPacketCount> m_exportReceived;
    // From a started import to the acknowledgement of packet 30: only then do acknowledgements
    // send packets.
    bool m_importing = false;
    FileResult m_lastFileResult;
};

} // namespace q48

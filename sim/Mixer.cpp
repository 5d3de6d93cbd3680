#include "Mixer.h"

#include "CommandCodes.h"
#include "DeviceFrames.h"
#include "FirmwareTarget.h"
#include "Session.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace q48::sim {

namespace {

int u8(const QByteArray &a, int i)
{
    return static_cast<unsigned char>(a.at(i));
}

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString hexByte(int value)
{
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}

int presetSize(int subCode, int utype)
{
    return kPresetFrameSize[subCode] + (subCode == 4 ? utype : 0);
}

} // namespace

Mixer::Mixer(const SimOptions &options, QObject *parent)
    : QObject(parent), options_(options), firmware_(std::make_unique<FirmwareTarget>(*this))
{
    for (int p = 1; p <= kMemoryPacketCount; ++p)
        memory_[p - 1] = DeviceFrames::memoryPacket(p);
}

Mixer::~Mixer() = default;

bool Mixer::openEvidence(QString *error)
{
    if (!options_.summaryFile.isEmpty()) {
        // Found out now rather than after a whole run whose evidence would then be lost.
        const QFileInfo dir(QFileInfo(options_.summaryFile).absolutePath());
        if (!dir.isDir() || !dir.isWritable()) {
            *error = QStringLiteral("cannot write the summary into %1").arg(dir.filePath());
            return false;
        }
    }
    return options_.recordFile.isEmpty() || record_.open(options_.recordFile, error);
}

void Mixer::error(const QString &text)
{
    errors_.append(text);
    qWarning("q48-sim: %s", qPrintable(text));
}

bool Mixer::expectSize(const QByteArray &frame, int size, const char *what)
{
    if (frame.size() == size)
        return true;
    error(QStringLiteral("%1 of %2 bytes, expected %3").arg(QLatin1String(what)).arg(frame.size()).arg(size));
    return false;
}

bool Mixer::rebooting() const
{
    return !rebootEnd_.hasExpired();
}

void Mixer::addStreamStats(qint64 droppedBytes, qint64 malformedFrames)
{
    droppedBytes_ += droppedBytes;
    malformedFrames_ += malformedFrames;
}

void Mixer::onDatagram(const QByteArray &datagram)
{
    record_.append(QStringLiteral("udp"), datagram, -1, -1);
    if (datagram.size() == int(sizeof kSearchDatagram))
        ++searches_;
}

void Mixer::onEndByte(Session &session)
{
    record_.append(session.link(), QByteArray(1, char(FW_END_BYTE)), FW_END_BYTE, -1);
    if (session.muted())
        return;
    if (rebooting()) {
        ++ignoredWhileRebooting_;
        return;
    }
    firmware_->endByte(session);
}

void Mixer::onFrame(Session &session, const QByteArray &frame)
{
    const int command = u8(frame, kOffsetCommand);
    const int sub = u8(frame, kOffsetSubCode);
    record_.append(session.link(), frame, command, sub);
    if (session.muted())
        return;
    if (rebooting()) {
        ++ignoredWhileRebooting_;
        return;
    }
    if (frame.mid(kOffsetMarker, 4) != QByteArray::fromHex("00010001"))
        error(QStringLiteral("frame %1 with bytes 4-7 = %2, expected 00 01 00 01")
                  .arg(hexByte(command), QString::fromLatin1(frame.mid(kOffsetMarker, 4).toHex(' '))));

    switch (command) {
    case CMD_PROBE:
        ++probes_;
        session.out().sendFrame(DeviceFrames::probeReply());
        break;
    case CMD_PRESET_LIST:
        presetList(session, frame);
        break;
    case CMD_SAVE_PRESET_NAME:
        saveName(frame);
        break;
    case CMD_DELETE_PRESET:
        deletePreset(frame);
        break;
    case CMD_READ_PRESET:
        readPreset(session, frame);
        break;
    case CMD_WRITE_PRESET:
        writePreset(session, frame);
        break;
    case CMD_MEMORY_EXPORT:
        exportMemory(session, frame);
        break;
    case CMD_MEMORY_IMPORT:
        importMemory(session, frame);
        break;
    case CMD_FW_PREPARE:
        if (expectSize(frame, kMinFrameSize, "firmware prepare"))
            firmware_->prepare();
        break;
    case CMD_FW_BEGIN:
    case CMD_FW_BEGIN_MAIN:
        firmware_->begin(session, frame);
        break;
    case CMD_FW_DATA:
    case CMD_FW_DATA_MAIN:
        firmware_->packet(session, frame);
        break;
    case CMD_DSP_READ:
        readDsp(session, frame);
        break;
    default:
        error(QStringLiteral("unexpected command %1 (%2 bytes)").arg(hexByte(command)).arg(frame.size()));
    }
}

void Mixer::presetList(Session &session, const QByteArray &frame)
{
    const int sub = u8(frame, kOffsetSubCode);
    if (!expectSize(frame, kMinFrameSize, "preset list request"))
        return;
    if (!PresetStore::validSubCode(sub)) {
        error(QStringLiteral("preset list request for sub-code %1").arg(sub));
        return;
    }
    ++listsSent_;
    session.out().sendFrame(DeviceFrames::presetList(sub, presets_.names(sub)));
}

void Mixer::saveName(const QByteArray &frame)
{
    if (!expectSize(frame, 29, "save preset name"))
        return;
    const int sub = u8(frame, kOffsetSubCode);
    const int channel = u8(frame, 10);
    const int slot = u8(frame, 11);
    if (slot >= PresetStore::slotCount(sub) ||
        (PresetStore::channelCount(sub) > 0 && (channel < 1 || channel > PresetStore::channelCount(sub)))) {
        error(QStringLiteral("save preset name: sub-code %1, channel %2, slot %3 out of range")
                  .arg(sub)
                  .arg(channel)
                  .arg(slot));
        return;
    }
    const QByteArray name = frame.mid(12, PresetStore::kNameSize);
    const qsizetype nul = name.indexOf('\0');
    presets_.setName(sub, slot, name);
    presetsSaved_.append(
        QJsonObject{{QStringLiteral("subCode"), sub},
                    {QStringLiteral("channel"), channel},
                    {QStringLiteral("slot"), slot},
                    {QStringLiteral("name"), QString::fromLatin1(nul < 0 ? name : name.left(nul))},
                    {QStringLiteral("nameHex"), QString::fromLatin1(name.toHex())}});
}

void Mixer::deletePreset(const QByteArray &frame)
{
    if (!expectSize(frame, 12, "delete preset"))
        return;
    const int sub = u8(frame, kOffsetSubCode);
    const int slot = u8(frame, 10);
    if (slot >= PresetStore::slotCount(sub)) {
        error(QStringLiteral("delete preset: sub-code %1, slot %2 out of range").arg(sub).arg(slot));
        return;
    }
    presets_.clearSlot(sub, slot);
    presetsDeleted_.append(QJsonObject{{QStringLiteral("subCode"), sub}, {QStringLiteral("slot"), slot}});
}

void Mixer::readPreset(Session &session, const QByteArray &frame)
{
    if (!expectSize(frame, 12, "read preset"))
        return;
    const int sub = u8(frame, kOffsetSubCode);
    const int slot = u8(frame, 10) - 1;
    if (slot < 0 || slot >= PresetStore::slotCount(sub)) {
        error(QStringLiteral("read preset: sub-code %1, slot byte %2 out of range").arg(sub).arg(slot + 1));
        return;
    }
    int size = presetSize(sub, options_.utype);
    if (FaultSet::matches(options_.faults.presetWrongSizeKind, sub))
        size -= 1;
    const QByteArray data = DeviceFrames::presetData(sub, slot, size);
    presetsRead_.append(QJsonObject{{QStringLiteral("subCode"), sub},
                                    {QStringLiteral("slot"), slot},
                                    {QStringLiteral("size"), int(data.size())},
                                    {QStringLiteral("sha256"), sha256(data)}});
    session.out().sendFrame(data);
}

void Mixer::writePreset(Session &session, const QByteArray &frame)
{
    const int sub = u8(frame, kOffsetSubCode);
    const int channel = u8(frame, 10);
    QString problem;
    if (!PresetStore::validSubCode(sub))
        problem = QStringLiteral("sub-code %1").arg(sub);
    else if (frame.size() != presetSize(sub, options_.utype))
        problem = QStringLiteral("%1 bytes for sub-code %2").arg(frame.size()).arg(sub);
    else if (sub != 4 && u8(frame, kOffsetLength) != frame.size())
        problem =
            QStringLiteral("byte 3 = %1 in a %2-byte frame").arg(u8(frame, kOffsetLength)).arg(frame.size());
    else if (PresetStore::channelCount(sub) > 0 && (channel < 1 || channel > PresetStore::channelCount(sub)))
        problem = QStringLiteral("channel byte %1").arg(channel);
    if (!problem.isEmpty()) {
        error(QStringLiteral("write preset refused: %1").arg(problem));
        return;
    }
    presetsWritten_.append(QJsonObject{{QStringLiteral("subCode"), sub},
                                       {QStringLiteral("channel"), channel},
                                       {QStringLiteral("size"), int(frame.size())},
                                       {QStringLiteral("sha256"), sha256(frame)}});
    session.out().sendFrame(DeviceFrames::presetWritten(sub));
}

void Mixer::exportMemory(Session &session, const QByteArray &frame)
{
    if (!expectSize(frame, kMinFrameSize, "memory export request"))
        return;
    if (u8(frame, kOffsetSubCode) != 0) {
        error(QStringLiteral("memory export request with sub-code %1").arg(u8(frame, kOffsetSubCode)));
        return;
    }
    const FaultSet &faults = options_.faults;
    ++exports_;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    int sent = 0;
    for (int p = 1; p <= kMemoryPacketCount; ++p) {
        if (faults.exportDropPackets.contains(p))
            continue;
        QByteArray packet = memory_[p - 1];
        if (faults.exportWrongSize.contains(p)) {
            const int delta = faults.exportWrongSize.value(p);
            const int endMark = int(packet.size()) - 1;
            if (delta < 0)
                packet.remove(endMark + delta, -delta);
            else
                packet.insert(endMark, DeviceFrames::filler(quint32(p), delta));
        }
        session.out().sendFrame(packet, streamDelayMs());
        hash.addData(packet);
        if (transferLimit(session, ++sent))
            break;
    }
    exportSha_ = QString::fromLatin1(hash.result().toHex());
}

void Mixer::importMemory(Session &session, const QByteArray &frame)
{
    const int sub = u8(frame, kOffsetSubCode);
    const int packet = u8(frame, 10);
    if (packet == 1) {
        importFrames_.clear();
        importNext_ = 1;
    }
    if (importNext_ == 0) {
        error(QStringLiteral("memory import packet %1 without packet 1 before it").arg(packet));
        return;
    }
    QString problem;
    if (packet != importNext_)
        problem = QStringLiteral("packet %1 where %2 was due").arg(packet).arg(importNext_);
    else if (sub != DeviceFrames::memorySubCode(packet))
        problem = QStringLiteral("packet %1 with sub-code %2").arg(packet).arg(sub);
    else if (frame.size() != kMemoryPacketSize[sub])
        problem = QStringLiteral("packet %1 of %2 bytes").arg(packet).arg(frame.size());
    if (!problem.isEmpty()) {
        error(QStringLiteral("memory import abandoned: %1").arg(problem));
        importNext_ = 0;
        return;
    }
    importFrames_.append(frame);
    ++importNext_;
    if (transferLimit(session, int(importFrames_.size())))
        return;

    const FaultSet &faults = options_.faults;
    int ackPacket = packet;
    if (faults.oooAckPackets.contains(packet))
        ackPacket = packet < kMemoryPacketCount ? packet + 1 : packet - 1;
    const QByteArray ack = DeviceFrames::importAck(DeviceFrames::memorySubCode(ackPacket), ackPacket);
    session.out().sendFrame(ack, streamDelayMs());
    if (faults.dupAckPackets.contains(packet))
        session.out().sendFrame(ack);

    if (packet == kMemoryPacketCount) {
        importSha_ = sha256(importFrames_.join());
        ++imports_;
        // What was imported is what the next export hands back, as on the device.
        for (int i = 0; i < kMemoryPacketCount; ++i) {
            memory_[i] = importFrames_.at(i);
            memory_[i][kOffsetCommand] = char(CMD_MEMORY_EXPORT);
        }
        importNext_ = 0;
    }
}

void Mixer::readDsp(Session &session, const QByteArray &frame)
{
    if (!expectSize(frame, 15, "DSP read request"))
        return;
    const int sub = u8(frame, kOffsetSubCode);
    if (sub != 2 && sub != 3) {
        error(QStringLiteral("DSP read request for sub-code %1").arg(sub));
        return;
    }
    if (frame.mid(10, 4) != QByteArray(4, '\x01'))
        error(QStringLiteral("DSP read request without 01 01 01 01 in bytes 10-13"));
    const int gap = options_.faults.dspGapEvery;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    int sent = 0;
    for (int n = 0; n <= kDspLastPacket; ++n) {
        if (gap > 0 && n > 0 && n % gap == 0 && n != kDspLastPacket)
            continue;
        const QByteArray f = DeviceFrames::dspFrame(sub, n);
        session.out().sendFrame(f, streamDelayMs());
        hash.addData(f.mid(12, 256));
        if (transferLimit(session, ++sent))
            break;
    }
    dspReads_.append(QJsonObject{{QStringLiteral("subCode"), sub},
                                 {QStringLiteral("frames"), sent},
                                 {QStringLiteral("sha256"), QString::fromLatin1(hash.result().toHex())}});
}

bool Mixer::transferLimit(Session &session, int count)
{
    const FaultSet &faults = options_.faults;
    QPointer<Session> s(&session);
    if (faults.stallAfter > 0 && !stallFired_ && count >= faults.stallAfter) {
        stallFired_ = true;
        session.out().then([s] {
            if (s)
                s->mute();
        });
        return true;
    }
    if (faults.closeAfter > 0 && !closeFired_ && count >= faults.closeAfter) {
        closeFired_ = true;
        session.out().then([s] {
            if (s)
                s->close();
        });
        return true;
    }
    return false;
}

void Mixer::startReboot(Session &session)
{
    const int ms = int(options_.rebootSeconds * 1000);
    rebootEnd_ = QDeadlineTimer(ms);
    if (ms <= 0)
        return;
    const bool closeNow = options_.faults.closeInReboot && !closeInRebootFired_;
    closeInRebootFired_ = closeInRebootFired_ || closeNow;
    QPointer<Session> s(&session);
    const auto close = [s] {
        if (s)
            s->close();
    };
    if (options_.rebootNoise) {
        // A restarting board babbles: junk and the start of a frame that never ends.
        const QByteArray noise = QByteArray::fromHex("00ff55aa0120030b0001");
        const int quarter = ms / 4;
        session.out().sendRaw(noise, quarter);
        session.out().sendRaw(noise, quarter);
        if (closeNow)
            session.out().then(close);
        session.out().sendRaw(noise, quarter);
    } else if (closeNow) {
        session.out().then(close, ms / 2);
    }
}

QJsonObject Mixer::summary() const
{
    return QJsonObject{
        {QStringLiteral("probes"), probes_},
        {QStringLiteral("searches"), searches_},
        {QStringLiteral("images"), firmware_->summary()},
        {QStringLiteral("presets"), QJsonObject{{QStringLiteral("listsSent"), listsSent_},
                                                {QStringLiteral("read"), presetsRead_},
                                                {QStringLiteral("written"), presetsWritten_},
                                                {QStringLiteral("saved"), presetsSaved_},
                                                {QStringLiteral("deleted"), presetsDeleted_}}},
        {QStringLiteral("memory"),
         QJsonObject{{QStringLiteral("exports"), exports_},
                     {QStringLiteral("exportSha256"), exportSha_},
                     {QStringLiteral("imports"), imports_},
                     {QStringLiteral("importSha256"), importSha_},
                     {QStringLiteral("importedPackets"), int(importFrames_.size())}}},
        {QStringLiteral("dsp"), dspReads_},
        {QStringLiteral("ignoredWhileRebooting"), ignoredWhileRebooting_},
        {QStringLiteral("droppedBytes"), double(droppedBytes_)},
        {QStringLiteral("malformedFrames"), double(malformedFrames_)},
        {QStringLiteral("errors"), errors_},
    };
}

bool Mixer::writeSummary(QString *error) const
{
    if (options_.summaryFile.isEmpty())
        return true;
    QSaveFile file(options_.summaryFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(summary()).toJson()) < 0 ||
        !file.commit()) {
        *error = QStringLiteral("cannot write summary %1: %2").arg(options_.summaryFile, file.errorString());
        return false;
    }
    return true;
}

} // namespace q48::sim

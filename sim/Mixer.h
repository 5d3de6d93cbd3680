#pragma once

#include "PresetStore.h"
#include "RecordLog.h"
#include "SimOptions.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include <array>
#include <memory>

namespace q48::sim {

class FirmwareTarget;
class Session;

// The simulated device: one state shared by all links, answering each frame on the link it came
// from, and keeping the evidence of what the tool did.
class Mixer : public QObject {
    Q_OBJECT
public:
    explicit Mixer(const SimOptions &options, QObject *parent = nullptr);
    ~Mixer() override;

    bool openEvidence(QString *error);
    const SimOptions &options() const { return options_; }
    int utype() const { return options_.utype; }
    int streamDelayMs() const { return options_.faults.streamDelayMs; }

    void onFrame(Session &session, const QByteArray &frame);
    void onEndByte(Session &session);
    void onDatagram(const QByteArray &datagram);
    void addStreamStats(qint64 droppedBytes, qint64 malformedFrames);

    // Called after the `count`th packet of a transfer; true when a stall or close fault ends the
    // transfer there (what was queued still goes out first).
    bool transferLimit(Session &session, int count);
    void startReboot(Session &session);
    bool rebooting() const;
    void error(const QString &text);

    QJsonObject summary() const;
    bool writeSummary(QString *error) const;

private:
    void presetList(Session &session, const QByteArray &frame);
    void saveName(const QByteArray &frame);
    void deletePreset(const QByteArray &frame);
    void readPreset(Session &session, const QByteArray &frame);
    void writePreset(Session &session, const QByteArray &frame);
    void exportMemory(Session &session, const QByteArray &frame);
    void importMemory(Session &session, const QByteArray &frame);
    void readDsp(Session &session, const QByteArray &frame);
    bool expectSize(const QByteArray &frame, int size, const char *what);

    SimOptions options_;
    RecordLog record_;
    PresetStore presets_;
    std::unique_ptr<FirmwareTarget> firmware_;
    std::array<QByteArray, 30> memory_;
    QList<QByteArray> importFrames_;
    int importNext_ = 0; // 0: no import under way
    QDeadlineTimer rebootEnd_{0};
    bool stallFired_ = false;
    bool closeFired_ = false;
    bool closeInRebootFired_ = false;

    int probes_ = 0;
    int searches_ = 0;
    int listsSent_ = 0;
    int ignoredWhileRebooting_ = 0;
    qint64 droppedBytes_ = 0;
    qint64 malformedFrames_ = 0;
    QJsonArray presetsRead_, presetsWritten_, presetsSaved_, presetsDeleted_;
    int exports_ = 0;
    QString exportSha_;
    int imports_ = 0;
    QString importSha_;
    QJsonArray dspReads_;
    QJsonArray errors_;
};

} // namespace q48::sim

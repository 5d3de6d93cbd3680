#pragma once

#include "OutputChannel.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;

namespace q48::sim {

class Mixer;
class Session;

// The device's serial port: a pseudo-terminal whose slave side is linked at a path of the
// caller's choosing, so the tool can open it like any serial port.
class PtyLink : public QObject {
    Q_OBJECT
public:
    PtyLink(Mixer &mixer, OutputChannel::Shaping shaping, QObject *parent = nullptr);
    ~PtyLink() override;

    bool open(const QString &linkPath, QString *error);
    static bool supported();

private:
    void onReadable();
    void onWritable();
    void write(const QByteArray &bytes);

    Mixer &mixer_;
    OutputChannel::Shaping shaping_;
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up between tool sessions
    QString linkPath_;
    QSocketNotifier *readNotifier_ = nullptr;
    QSocketNotifier *writeNotifier_ = nullptr;
    QByteArray unsent_;
    QPointer<Session> session_;
};

} // namespace q48::sim

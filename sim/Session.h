#pragma once

#include "FrameParser.h"
#include "OutputChannel.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace q48::sim {

class Mixer;

// One tool connection on one link: its receive stream, its transmit queue, and whether the device
// still talks on it.
class Session : public QObject {
    Q_OBJECT
public:
    Session(const QString &link, Mixer &mixer, OutputChannel::Writer writer, std::function<void()> closer,
            OutputChannel::Shaping shaping, QObject *parent = nullptr);
    ~Session() override;

    void receive(const QByteArray &bytes);
    const QString &link() const { return link_; }
    OutputChannel &out() { return out_; }

    // Silent from now on: nothing more is answered or sent on this connection.
    void mute();
    bool muted() const { return muted_; }
    // Drops the connection; a link that cannot be dropped (the pty) falls silent instead.
    void close();

private:
    void reportStats();

    QString link_;
    Mixer &mixer_;
    std::function<void()> closer_;
    FrameParser parser_;
    OutputChannel out_;
    QTimer staleTimer_;
    bool muted_ = false;
    qint64 reportedDropped_ = 0;
    qint64 reportedMalformed_ = 0;
};

} // namespace q48::sim

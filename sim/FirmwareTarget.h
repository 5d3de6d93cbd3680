#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <array>

namespace q48::sim {

class Mixer;
class Session;

// The device side of firmware programming: takes a begin frame, asks for the image's packets one
// by one, checks each, and gives the verdict. Keeps per image what was received, as evidence.
class FirmwareTarget {
public:
    explicit FirmwareTarget(Mixer &mixer);

    void prepare();
    void begin(Session &session, const QByteArray &frame);
    void packet(Session &session, const QByteArray &frame);
    void endByte(Session &session);

    QJsonObject summary() const;

private:
    struct Run {
        int count = 0;
        int next = 0; // packet expected next
        int received = 0;
        int duplicates = 0;
        int attempts = 0;
        bool active = false;
        bool prepared = false; // a prepare frame came before the begin
        QString result;        // transferring, done, failed, not-ready
        QByteArray data;
    };

    void request(Session &session, int image, int number);
    void verdict(Session &session, int image, int number, bool ok);
    static int dataCommand(int image);

    Mixer &mixer_;
    std::array<Run, 4> runs_;
    int current_ = -1; // image being programmed
    int prepares_ = 0;
};

} // namespace q48::sim

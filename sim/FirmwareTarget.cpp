#include "FirmwareTarget.h"

#include "CommandCodes.h"
#include "DeviceFrames.h"
#include "Mixer.h"
#include "Session.h"

#include <QCryptographicHash>

namespace q48::sim {

namespace {
// The tool's image buffers hold 1 MiB; a larger count is a broken begin frame.
constexpr int kMaxPackets = 1024;
constexpr int kBeginFrameSize = 15;
constexpr int kPacketDataOffset = 12;

int u8(const QByteArray &a, int i)
{
    return static_cast<unsigned char>(a.at(i));
}
} // namespace

FirmwareTarget::FirmwareTarget(Mixer &mixer) : mixer_(mixer) {}

int FirmwareTarget::dataCommand(int image)
{
    return image == 0 ? CMD_FW_DATA_MAIN : CMD_FW_DATA;
}

void FirmwareTarget::prepare()
{
    ++prepares_;
}

void FirmwareTarget::begin(Session &session, const QByteArray &frame)
{
    const int command = u8(frame, kOffsetCommand);
    const int image = u8(frame, kOffsetSubCode);
    const FaultSet &faults = mixer_.options().faults;
    const auto refuse = [&](const QString &why) {
        mixer_.error(why);
        session.out().sendFrame(DeviceFrames::firmwareReply(command, image, 0, 1, 0));
    };
    if (frame.size() != kBeginFrameSize) {
        refuse(QStringLiteral("firmware begin of %1 bytes, expected 15").arg(frame.size()));
        return;
    }
    if (image > 3) {
        refuse(QStringLiteral("firmware begin for image %1").arg(image));
        return;
    }
    const int expected = image == 0 ? CMD_FW_BEGIN_MAIN : CMD_FW_BEGIN;
    if (command != expected) {
        refuse(
            QStringLiteral("firmware begin for image %1 with command 0x%2").arg(image).arg(command, 2, 16));
        return;
    }
    const int count = u8(frame, 10) * 256 + u8(frame, 11);
    if (count > kMaxPackets) {
        refuse(QStringLiteral("firmware begin for image %1 announces %2 packets").arg(image).arg(count));
        return;
    }
    if (u8(frame, 12) != 0x01 || u8(frame, 13) != 0x01)
        mixer_.error(QStringLiteral("firmware begin for image %1 without 01 01 in bytes 12-13").arg(image));

    if (current_ >= 0 && runs_[current_].active && current_ != image)
        runs_[current_].active = false;
    Run &run = runs_[image];
    const int attempts = run.attempts + 1;
    run = Run{};
    run.count = count;
    run.attempts = attempts;
    run.active = true;
    run.result = QStringLiteral("transferring");
    run.data = QByteArray(count * kFirmwarePacketData, '\0');
    run.prepared = prepares_ > 0;
    prepares_ = 0;
    current_ = image;

    const bool notReady = FaultSet::matches(faults.notReadyImage, image);
    const int replyImage = FaultSet::matches(faults.wrongImage, image) ? (image + 1) % 4 : image;
    session.out().sendFrame(DeviceFrames::firmwareReply(command, replyImage, count, notReady ? 1 : 0, 0));
    if (notReady || replyImage != image) {
        run.active = false;
        run.result = QStringLiteral("not-ready");
    }
}

void FirmwareTarget::packet(Session &session, const QByteArray &frame)
{
    const int command = u8(frame, kOffsetCommand);
    const int image = u8(frame, kOffsetSubCode);
    const int number = u8(frame, 10) * 256 + u8(frame, 11);
    const QByteArray data = frame.mid(kPacketDataOffset, kFirmwarePacketData);
    // Answering a repeated request repeats the packet; the copy is harmless and is only counted,
    // also when it follows the verdict.
    if (current_ >= 0 && image == current_ && command == dataCommand(current_) && runs_[current_].next > 0 &&
        number == runs_[current_].next - 1 &&
        data == runs_[current_].data.mid(number * kFirmwarePacketData, kFirmwarePacketData)) {
        ++runs_[current_].duplicates;
        return;
    }
    if (current_ < 0 || !runs_[current_].active) {
        mixer_.error(
            QStringLiteral("firmware packet %1 of image %2 outside a transfer").arg(number).arg(image));
        return;
    }
    Run &run = runs_[current_];

    QString problem;
    if (command != dataCommand(current_))
        problem = QStringLiteral("command 0x%1").arg(command, 2, 16);
    else if (image != current_)
        problem = QStringLiteral("image index %1").arg(image);
    else if (number != run.next)
        problem = QStringLiteral("packet %1 where %2 was asked for").arg(number).arg(run.next);
    else if (u8(frame, kOffsetLength) != (kFirmwarePacketFrameSize & 0xFF))
        problem = QStringLiteral("byte 3 = 0x%1").arg(u8(frame, kOffsetLength), 2, 16);
    else if (frame.mid(1036, 3) != QByteArray(3, '\0'))
        problem = QStringLiteral("bytes 1036-1038 not zero");
    if (!problem.isEmpty()) {
        mixer_.error(QStringLiteral("image %1 packet %2: %3").arg(current_).arg(number).arg(problem));
        verdict(session, current_, number, false);
        return;
    }

    run.data.replace(number * kFirmwarePacketData, kFirmwarePacketData, data);
    ++run.next;
    ++run.received;

    const FaultSet &faults = mixer_.options().faults;
    if (faults.failImage == current_ && faults.failPacket == number) {
        verdict(session, current_, number, false);
        return;
    }
    if (mixer_.transferLimit(session, run.received))
        return;
    if (run.next < run.count)
        request(session, current_, run.next);
    else
        verdict(session, current_, run.count, true);
}

void FirmwareTarget::endByte(Session &session)
{
    if (current_ < 0 || !runs_[current_].active)
        return;
    const Run &run = runs_[current_];
    if (run.next >= run.count) {
        verdict(session, current_, run.count, true);
    } else {
        mixer_.error(
            QStringLiteral("image %1: end byte where packet %2 was asked for").arg(current_).arg(run.next));
        verdict(session, current_, run.next, false);
    }
}

void FirmwareTarget::request(Session &session, int image, int number)
{
    const Run &run = runs_[image];
    const int extra = run.count > 0 ? number * 100 / run.count : 0;
    const QByteArray frame = DeviceFrames::firmwareReply(dataCommand(image), image, number, 0, extra);
    const FaultSet &faults = mixer_.options().faults;
    const bool twice = faults.dupRequestImage == image && faults.dupRequestPacket == number;
    session.out().sendFrame(frame, mixer_.streamDelayMs());
    if (twice)
        session.out().sendFrame(frame);
}

void FirmwareTarget::verdict(Session &session, int image, int number, bool ok)
{
    Run &run = runs_[image];
    run.active = false;
    run.result = ok ? QStringLiteral("done") : QStringLiteral("failed");
    const QByteArray frame =
        DeviceFrames::firmwareReply(dataCommand(image), image, number, ok ? 0 : 1, ok ? 100 : 0);
    const FaultSet &faults = mixer_.options().faults;
    session.out().sendFrame(frame, mixer_.streamDelayMs());
    if (faults.dupRequestImage == image && faults.dupRequestPacket == number)
        session.out().sendFrame(frame);
    if (ok && image == 0)
        mixer_.startReboot(session);
}

QJsonObject FirmwareTarget::summary() const
{
    QJsonObject images;
    for (int i = 0; i < 4; ++i) {
        const Run &run = runs_[i];
        if (run.attempts == 0)
            continue;
        const QByteArray received = run.data.left(run.received * kFirmwarePacketData);
        QJsonObject o{
            {QStringLiteral("packetCount"), run.count},
            {QStringLiteral("received"), run.received},
            {QStringLiteral("sha256"),
             QString::fromLatin1(QCryptographicHash::hash(received, QCryptographicHash::Sha256).toHex())},
            {QStringLiteral("result"), run.active ? QStringLiteral("incomplete") : run.result},
            {QStringLiteral("attempts"), run.attempts},
            {QStringLiteral("duplicates"), run.duplicates},
            {QStringLiteral("prepared"), run.prepared},
        };
        images.insert(QString::number(i), o);
    }
    return images;
}

} // namespace q48::sim

#pragma once

// Test doubles for the firmware programming objects, shared with the end-to-end tests.

#include "firmware/FirmwareDisplay.h"
#include "firmware/ImageStore.h"
#include "link/FrameSink.h"
#include "link/WindowRegistry.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace q48::test {

// Keeps every frame instead of sending it.
class RecordingSink : public FrameSink {
public:
    bool connected = true;
    QList<QByteArray> frames;

    bool isLinkConnected() const override { return connected; }
    bool sendFrame(const QByteArray &frame) override
    {
        if (!connected)
            return false;
        frames << frame;
        return true;
    }
};

// What the firmware window would show, as state plus a log of every call.
class DisplayRecorder : public FirmwareDisplay {
public:
    QStringList log;
    QString status;
    bool statusVisible = false;
    int led = -1;
    int maximum = 0;
    int progress = 0;
    bool countdownVisible = false;
    QList<int> countdownValues; // distinct values in the order shown
    std::function<void()> onCountdown;

    void showStatus(const QString &text) override
    {
        status = text;
        statusVisible = true;
        log << QStringLiteral("status ") + text;
    }
    void hideStatus() override
    {
        statusVisible = false;
        log << QStringLiteral("hide status");
    }
    void showLed(int image) override
    {
        led = image;
        log << QStringLiteral("led %1").arg(image);
    }
    void setGaugeMaximum(int value) override { maximum = value; }
    int gaugeMaximum() const override { return maximum; }
    void setGaugeProgress(int value) override { progress = value; }
    void showCountdown(bool visible) override
    {
        countdownVisible = visible;
        log << (visible ? QStringLiteral("countdown on") : QStringLiteral("countdown off"));
    }
    void setCountdownSeconds(int seconds) override
    {
        if (countdownValues.isEmpty() || countdownValues.last() != seconds)
            countdownValues << seconds;
        if (onCountdown)
            onCountdown();
    }
};

// Records the notifications a window would receive.
class NotifyRecorder : public NotifyTarget {
public:
    struct Message {
        int message;
        qintptr wParam;
        qintptr lParam;
        bool operator==(const Message &) const = default;
    };
    QList<Message> messages;
    long handleNotify(int message, qintptr wParam, qintptr lParam) override
    {
        messages.append({message, wParam, lParam});
        return 0;
    }
};

// Image file content: never 0xFF, so padding stands out; ends in the two ignored bytes.
inline QByteArray imageFileBytes(qint64 size, int seed)
{
    QByteArray out(size, '\0');
    for (qint64 k = 0; k < size; ++k)
        out[k] = char((k * 31 + seed * 17 + k / 1024) % 0xFF);
    if (size >= 2) {
        out[size - 2] = '\r';
        out[size - 1] = '\n';
    }
    return out;
}

// What the device must end up with: the file without its last two bytes, padded with 0xFF
// to whole packets.
inline QByteArray expectedImage(const QByteArray &file)
{
    QByteArray image = file.left(file.size() - 2);
    const qsizetype packets = (image.size() + 1023) / 1024;
    image.append(QByteArray(packets * 1024 - image.size(), char(0xFF)));
    return image;
}

// A lib folder with image files of given sizes; -1 leaves that file out.
class ImageLib {
public:
    QTemporaryDir dir;
    QList<QByteArray> files;

    explicit ImageLib(const QList<qint64> &sizes)
    {
        for (int i = 0; i < sizes.size(); ++i) {
            files << QByteArray();
            if (sizes[i] < 0)
                continue;
            files[i] = imageFileBytes(sizes[i], i);
            QFile f(ImageStore::imagePath(dir.path(), i));
            if (f.open(QIODevice::WriteOnly))
                f.write(files[i]);
        }
    }
    QString path() const { return dir.path(); }
};

} // namespace q48::test

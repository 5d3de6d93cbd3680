#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

#include <deque>
#include <functional>

namespace q48::sim {

// Everything the device sends on one link goes through here, in order: frames, stray bytes and
// actions (close the link, fall silent) that must happen only after what was queued before them.
// It applies the byte-level faults (junk before frames, split frames) and the serial pacing.
class OutputChannel : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray &)>;

    struct Shaping {
        int garbageBytes = 0;
        int splitMaxDelayMs = -1;
        int bytesPerSecond = 0; // 0: as fast as the link takes it
        quint32 seed = 48;
    };

    OutputChannel(Writer writer, Shaping shaping, QObject *parent = nullptr);

    void sendFrame(const QByteArray &frame, int delayMs = 0);
    void sendRaw(const QByteArray &bytes, int delayMs = 0);
    void then(std::function<void()> action, int delayMs = 0);
    void clear();
    bool idle() const { return queue_.empty() && pending_.isEmpty(); }

private:
    struct Item {
        QByteArray data;
        bool frame = false;
        int delayMs = 0;
        std::function<void()> action;
    };

    void enqueue(Item item);
    void pump();
    void scheduleIn(int ms);
    QByteArray junk(int count);

    Writer writer_;
    Shaping shaping_;
    QRandomGenerator random_;
    std::deque<Item> queue_;
    QByteArray pending_; // bytes of the item being written
    QList<int> cuts_;    // split points left in pending_
    bool delayServed_ = false;
    bool pumping_ = false;
    QTimer timer_;
    QElapsedTimer paceClock_;
    qint64 pacedBytes_ = 0;
};

} // namespace q48::sim

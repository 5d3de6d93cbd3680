#include "OutputChannel.h"

#include <algorithm>

namespace q48::sim {

OutputChannel::OutputChannel(Writer writer, Shaping shaping, QObject *parent)
    : QObject(parent), writer_(std::move(writer)), shaping_(shaping), random_(shaping.seed)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &OutputChannel::pump);
}

void OutputChannel::sendFrame(const QByteArray &frame, int delayMs)
{
    enqueue({frame, true, delayMs, {}});
}

void OutputChannel::sendRaw(const QByteArray &bytes, int delayMs)
{
    enqueue({bytes, false, delayMs, {}});
}

void OutputChannel::then(std::function<void()> action, int delayMs)
{
    enqueue({{}, false, delayMs, std::move(action)});
}

void OutputChannel::clear()
{
    queue_.clear();
    pending_.clear();
    cuts_.clear();
    delayServed_ = false;
    timer_.stop();
}

void OutputChannel::enqueue(Item item)
{
    queue_.push_back(std::move(item));
    if (!timer_.isActive() && !pumping_)
        pump();
}

void OutputChannel::scheduleIn(int ms)
{
    timer_.start(qMax(0, ms));
}

QByteArray OutputChannel::junk(int count)
{
    // Never 0x01: a stray signature byte right before a frame would cost the tool that frame.
    static constexpr char kJunk[] = {char(0xFF), char(0x00), char(0x55), char(0xAA), char(0x7E),
                                     char(0x20), char(0x03), char(0x40), char(0x13), char(0xE5)};
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out.append(kJunk[random_.bounded(int(sizeof kJunk))]);
    return out;
}

void OutputChannel::pump()
{
    if (pumping_)
        return;
    pumping_ = true;
    const auto done = [this] { pumping_ = false; };

    while (true) {
        if (!pending_.isEmpty()) {
            qsizetype n = pending_.size();
            if (!cuts_.isEmpty())
                n = qMin(n, qsizetype(cuts_.first()));
            if (shaping_.bytesPerSecond > 0) {
                const qint64 allowed = paceClock_.elapsed() * shaping_.bytesPerSecond / 1000 - pacedBytes_;
                if (allowed <= 0) {
                    scheduleIn(10);
                    return done();
                }
                n = qMin(n, qsizetype(allowed));
            }
            const QByteArray piece = pending_.left(n);
            pending_.remove(0, n);
            pacedBytes_ += n;
            for (int &cut : cuts_)
                cut -= int(n);
            const bool atCut = !cuts_.isEmpty() && cuts_.first() == 0;
            if (atCut)
                cuts_.removeFirst();
            writer_(piece);
            if (atCut && !pending_.isEmpty()) {
                scheduleIn(1 + int(random_.bounded(quint32(shaping_.splitMaxDelayMs))));
                return done();
            }
            continue;
        }
        if (queue_.empty())
            return done();
        if (queue_.front().delayMs > 0 && !delayServed_) {
            delayServed_ = true;
            scheduleIn(queue_.front().delayMs);
            return done();
        }
        Item item = std::move(queue_.front());
        queue_.pop_front();
        delayServed_ = false;
        if (item.action) {
            item.action();
            continue;
        }
        pending_ =
            item.frame && shaping_.garbageBytes > 0 ? junk(shaping_.garbageBytes) + item.data : item.data;
        cuts_.clear();
        if (item.frame && shaping_.splitMaxDelayMs > 0 && pending_.size() > 1) {
            const int pieces = 2 + int(random_.bounded(3u));
            for (int i = 1; i < pieces; ++i)
                cuts_.append(1 + int(random_.bounded(quint32(pending_.size() - 1))));
            std::sort(cuts_.begin(), cuts_.end());
            cuts_.erase(std::unique(cuts_.begin(), cuts_.end()), cuts_.end());
        }
        if (shaping_.bytesPerSecond > 0 &&
            (!paceClock_.isValid() || paceClock_.elapsed() * shaping_.bytesPerSecond / 1000 > pacedBytes_)) {
            // The line was idle: pacing restarts rather than bursting out the credit it built up.
            paceClock_.restart();
            pacedBytes_ = 0;
        }
    }
}

} // namespace q48::sim

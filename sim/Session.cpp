#include "Session.h"

#include "Mixer.h"

namespace q48::sim {

namespace {
// A frame that stops growing for this long is taken for a broken one.
constexpr int kStaleMs = 1000;
} // namespace

Session::Session(const QString &link, Mixer &mixer, OutputChannel::Writer writer,
                 std::function<void()> closer, OutputChannel::Shaping shaping, QObject *parent)
    : QObject(parent), link_(link), mixer_(mixer), closer_(std::move(closer)),
      parser_(mixer.utype(), {[this](const QByteArray &frame) { mixer_.onFrame(*this, frame); },
                              [this] { mixer_.onEndByte(*this); }}),
      out_(std::move(writer), shaping)
{
    staleTimer_.setSingleShot(true);
    staleTimer_.setInterval(kStaleMs);
    connect(&staleTimer_, &QTimer::timeout, this, [this] {
        parser_.dropStale();
        reportStats();
        if (parser_.hasPartial())
            staleTimer_.start();
    });
}

Session::~Session()
{
    reportStats();
}

void Session::receive(const QByteArray &bytes)
{
    parser_.feed(bytes);
    reportStats();
    if (parser_.hasPartial())
        staleTimer_.start();
    else
        staleTimer_.stop();
}

void Session::reportStats()
{
    mixer_.addStreamStats(parser_.droppedBytes() - reportedDropped_,
                          parser_.malformedFrames() - reportedMalformed_);
    reportedDropped_ = parser_.droppedBytes();
    reportedMalformed_ = parser_.malformedFrames();
}

void Session::mute()
{
    muted_ = true;
    out_.clear();
}

void Session::close()
{
    muted_ = true;
    if (closer_)
        closer_();
    else
        mute();
}

} // namespace q48::sim

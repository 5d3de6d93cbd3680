#pragma once

#include <QByteArray>

#include <functional>

namespace q48::sim {

// Cuts the tool's byte stream into frames. Short frames are sized by byte 3; the long ones the
// tool sends (write preset, memory import, firmware packets) by command and sub-code. Anything
// that does not form a frame is skipped byte by byte until a signature lines up again.
class FrameParser {
public:
    struct Handlers {
        std::function<void(const QByteArray &frame)> frame;
        std::function<void()> endByte; // the bare FW_END_BYTE between frames
    };

    FrameParser(int utype, Handlers handlers);

    void feed(const QByteArray &bytes);
    // The bytes held have stopped growing: give up on the frame they start.
    void dropStale();
    void reset();

    bool hasPartial() const { return !buffer_.isEmpty(); }
    qint64 droppedBytes() const { return dropped_; }
    qint64 malformedFrames() const { return malformed_; }

    // Total size of the frame whose first ten bytes are in `head`, or -1 when it cannot be one.
    static int expectedSize(const QByteArray &head, int utype);

private:
    void process();

    int utype_;
    Handlers handlers_;
    QByteArray buffer_;
    qint64 dropped_ = 0;
    qint64 malformed_ = 0;
};

} // namespace q48::sim

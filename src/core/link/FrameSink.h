#pragma once

#include <QByteArray>

namespace q48 {

// Where senders hand their frames: one write per whole frame, and only while the link is
// connected; otherwise the frame is silently not sent.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool isLinkConnected() const = 0;
    // Returns true when the bytes were handed to a connected link.
    virtual bool sendFrame(const QByteArray &frame) = 0;
};

} // namespace q48

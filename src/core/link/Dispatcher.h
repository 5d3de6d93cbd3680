#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <functional>

namespace q48 {

// Routes accepted frames by their command byte to the feature handlers. Only the replies the
// device sends are routed; anything else, and a command whose handler is not set yet, is
// dropped. A frame too short for the bytes its handler reads is dropped whole, so no handler
// reads outside its frame (the name list handler checks its own kind's size).
class Dispatcher {
public:
    using Handler = std::function<void(const QByteArray &frame)>;

    // The two codes of a firmware pair (240/250, 241/251) share one handler: setting either
    // sets both. Returns false, and keeps nothing, for a code that is never routed.
    bool setHandler(quint8 command, Handler handler);
    void dispatchFrame(const QByteArray &frame) const;

    static bool isRouted(quint8 command);
    // Smallest frame the command's handler can read; 0 for a command that is not routed.
    static int minimumFrameSize(quint8 command);

private:
    static quint8 slotOf(quint8 command);

    std::array<Handler, 256> m_handlers;
};

} // namespace q48

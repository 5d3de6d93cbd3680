#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

namespace q48 {

// Cuts the byte stream from the mixer into frames. A frame is recognised by its own length
// byte (up to 255 bytes) or by the table of long frames, on the very byte that completes it.
//
// Differences from a plain byte-at-a-time collector, all deliberate:
// - the buffer never holds more than the largest frame (4012 bytes); a frame that cannot be
//   accepted by then is given up and the bytes after its first byte are scanned again, so one
//   broken frame no longer deafens the link;
// - the buffer is emptied before the frame is handed on, and bytes fed while a frame is being
//   handled (a nested event loop) are queued and assembled, in order, once it returns.
class FrameAssembler {
public:
    using FrameHandler = std::function<void(const QByteArray &frame)>;
    using Callback = std::function<void()>;

    FrameAssembler();

    // Gets its own copy of every accepted frame, envelope included.
    void setFrameHandler(FrameHandler handler) { m_frameHandler = std::move(handler); }
    // Runs when a 269-byte DSP read-back frame is accepted, before the frame handler.
    void setDspFrameCallback(Callback callback) { m_dspFrameCallback = std::move(callback); }

    void assembleByte(quint8 byte);
    void feed(const char *data, qsizetype count);
    void feed(const QByteArray &data) { feed(data.constData(), data.size()); }

    // Forgets the frame in progress and everything fed but not yet assembled.
    void discardInput();

    const QByteArray &rxBuffer() const { return m_rx; }

    // Device variant: 1 makes the scene preset frame one byte longer.
    void setUtype(int utype) { m_utype = utype; }
    int utype() const { return m_utype; }
    static int sceneFrameLength(int utype);

private:
    struct LongFrameRule {
        int size = 0;
        bool needsEndMark = false;
    };
    LongFrameRule longFrameRule(quint8 command, quint8 subCode) const;

    void processInput();
    void step(const QByteArray &source, qsizetype &pos);
    qsizetype nextCheckpoint() const;
    void evaluate();
    void resynchronise();
    void dispatch(const QByteArray &frame);

    QByteArray m_rx;
    // Bytes fed but not yet assembled; m_replay holds the bytes of a given-up frame that are
    // scanned again, and goes before m_input.
    QByteArray m_input;
    qsizetype m_inputPos = 0;
    QByteArray m_replay;
    qsizetype m_replayPos = 0;
    bool m_processing = false;
    bool m_resyncLogged = false;
    int m_utype = 0;
    FrameHandler m_frameHandler;
    Callback m_dspFrameCallback;
};

} // namespace q48

#include "FrameAssembler.h"

#include "CommandCodes.h"
#include "DebugLog.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cstring>

namespace q48 {

namespace {
constexpr int kSceneFrameSizeLong = 3939;
}

FrameAssembler::FrameAssembler()
{
    m_rx.reserve(kMaxFrameSize);
}

int FrameAssembler::sceneFrameLength(int utype)
{
    return utype == 1 ? kSceneFrameSizeLong : kPresetFrameSize[4];
}

FrameAssembler::LongFrameRule FrameAssembler::longFrameRule(quint8 command, quint8 subCode) const
{
    switch (command) {
    case CMD_PRESET_LIST:
        if (subCode >= 1 && subCode <= 4)
            return {kPresetListFrameSize[subCode], true};
        break;
    case CMD_MEMORY_EXPORT:
        if (subCode >= 1 && subCode <= 5)
            return {kMemoryPacketSize[subCode], false};
        break;
    case CMD_READ_PRESET:
        // Shorter kinds fit the length byte; only the scene frame needs a row.
        if (subCode == 4)
            return {sceneFrameLength(m_utype), true};
        break;
    case CMD_DSP_READ:
        return {kDspFrameSize, false};
    default:
        break;
    }
    return {};
}

void FrameAssembler::assembleByte(quint8 byte)
{
    const char c = char(byte);
    feed(&c, 1);
}

void FrameAssembler::feed(const char *data, qsizetype count)
{
    if (!data || count <= 0)
        return;
    m_input.append(data, count);
    // While a frame is being handled these bytes wait; the running loop takes them next.
    if (!m_processing)
        processInput();
}

void FrameAssembler::discardInput()
{
    m_rx.resize(0);
    m_replay.resize(0);
    m_replayPos = 0;
    m_inputPos = m_input.size();
}

void FrameAssembler::processInput()
{
    QScopedValueRollback<bool> guard(m_processing, true);
    for (;;) {
        if (m_replayPos < m_replay.size())
            step(m_replay, m_replayPos);
        else if (m_inputPos < m_input.size())
            step(m_input, m_inputPos);
        else
            break;
    }
    m_input.resize(0);
    m_inputPos = 0;
    m_replay.resize(0);
    m_replayPos = 0;
}

// Takes bytes from the source up to the next length at which the frame could be accepted.
// Acceptance depends only on the header and the last byte, so the lengths between need no look.
void FrameAssembler::step(const QByteArray &source, qsizetype &pos)
{
    const char *in = source.constData();
    const qsizetype end = source.size();
    const qsizetype n = m_rx.size();

    if (n == 0) {
        const void *hit = std::memchr(in + pos, kSignature[0], size_t(end - pos));
        if (!hit) {
            pos = end;
            return;
        }
        pos = static_cast<const char *>(hit) - in + 1;
        m_rx.append(char(kSignature[0]));
        return;
    }
    if (n < 3) {
        // A byte that breaks the signature is dropped with it, not tried as a new start.
        const quint8 byte = quint8(in[pos++]);
        if (byte == kSignature[n])
            m_rx.append(char(byte));
        else
            m_rx.resize(0);
        return;
    }

    const qsizetype goal = nextCheckpoint();
    const qsizetype take = std::min(goal - n, end - pos);
    m_rx.append(in + pos, take);
    pos += take;
    if (m_rx.size() == goal)
        evaluate();
}

qsizetype FrameAssembler::nextCheckpoint() const
{
    const qsizetype n = m_rx.size();
    if (n < kMinFrameSize)
        return kMinFrameSize;
    const auto *f = reinterpret_cast<const quint8 *>(m_rx.constData());
    qsizetype goal = kMaxFrameSize;
    if (f[kOffsetLength] > n)
        goal = std::min<qsizetype>(goal, f[kOffsetLength]);
    const LongFrameRule rule = longFrameRule(f[kOffsetCommand], f[kOffsetSubCode]);
    if (rule.size > n)
        goal = std::min<qsizetype>(goal, rule.size);
    return goal;
}

void FrameAssembler::evaluate()
{
    const qsizetype n = m_rx.size();
    const auto *f = reinterpret_cast<const quint8 *>(m_rx.constData());
    const bool endMark = f[n - 1] == kEndMark;

    bool accept = f[kOffsetLength] == n && endMark;
    bool dspFrame = false;
    if (!accept) {
        const LongFrameRule rule = longFrameRule(f[kOffsetCommand], f[kOffsetSubCode]);
        accept = rule.size == n && (endMark || !rule.needsEndMark);
        dspFrame = accept && f[kOffsetCommand] == CMD_DSP_READ;
    }

    if (accept) {
        if (dspFrame && m_dspFrameCallback)
            m_dspFrameCallback();
        const QByteArray frame(m_rx.constData(), n);
        m_rx.resize(0);
        m_resyncLogged = false;
        dispatch(frame);
    } else if (n >= kMaxFrameSize) {
        resynchronise();
    }
}

// No frame is longer than this buffer now, so its first byte did not start one. The bytes
// after it are scanned again as if they had just arrived.
void FrameAssembler::resynchronise()
{
    // One line per lost stretch: a stream of noise would otherwise flood the log.
    if (!m_resyncLogged)
        debugLog(QStringLiteral("receive buffer full without a frame, scanning again"));
    m_resyncLogged = true;
    // The replay source is always used up when the buffer fills: it is shorter than a frame.
    m_replay.swap(m_rx);
    m_replayPos = 1;
    m_rx.resize(0);
    m_rx.reserve(kMaxFrameSize);
}

void FrameAssembler::dispatch(const QByteArray &frame)
{
    if (m_frameHandler)
        m_frameHandler(frame);
}

} // namespace q48

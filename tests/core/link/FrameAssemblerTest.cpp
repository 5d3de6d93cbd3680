#include "ByteLiterals.h"
#include "link/FrameAssembler.h"
#include "link/CommandCodes.h"

#include <gtest/gtest.h>

#include <QList>

#include <random>

using namespace q48;

namespace {

using q48::test::bytes;

const QByteArray kProbe = bytes({0x01, 0x20, 0x03, 0x0B, 0x00, 0x01, 0x00, 0x01, 0xF9, 0x01, 0x40});

// A frame of the given total size: signature, byte 3, marker, device number, command, sub-code,
// zero filler and a last byte. Filler zeros can neither start a frame nor end one.
QByteArray frame(int command, int subCode, int size, int lengthByte = -1, int lastByte = 0x40)
{
    QByteArray f(size, '\0');
    f[0] = 0x01;
    f[1] = 0x20;
    f[2] = 0x03;
    f[3] = char(lengthByte >= 0 ? lengthByte : (size <= 255 ? size : 0));
    f[5] = 0x01;
    f[7] = 0x01;
    f[8] = char(command);
    f[9] = char(subCode);
    f[size - 1] = char(lastByte);
    return f;
}

struct Recorder {
    QList<QByteArray> frames;
    QStringList events;
    FrameAssembler assembler;

    Recorder()
    {
        assembler.setFrameHandler([this](const QByteArray &f) {
            frames << f;
            events << QStringLiteral("frame %1").arg(f.size());
        });
        assembler.setDspFrameCallback([this] { events << QStringLiteral("dsp"); });
    }
};

struct StreamCase {
    const char *name;
    int utype;
    QByteArray input;
    QList<QByteArray> expected;
    qsizetype leftInBuffer;
};

void PrintTo(const StreamCase &c, std::ostream *os)
{
    *os << c.name;
}

class AssemblerStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(AssemblerStream, AcceptsExactlyTheExpectedFrames)
{
    const StreamCase &c = GetParam();
    // Byte by byte, then in one chunk: the outcome must not depend on how the bytes arrive.
    for (bool byteWise : {true, false}) {
        SCOPED_TRACE(byteWise ? "byte by byte" : "one chunk");
        Recorder r;
        r.assembler.setUtype(c.utype);
        if (byteWise) {
            for (char b : c.input)
                r.assembler.assembleByte(quint8(b));
        } else {
            r.assembler.feed(c.input);
        }
        EXPECT_EQ(r.frames, c.expected);
        EXPECT_EQ(r.assembler.rxBuffer().size(), c.leftInBuffer);
    }
}

const QByteArray kFwRequest =
    bytes({0x01, 0x20, 0x03, 0x0F, 0x00, 0x01, 0x00, 0x01, 0xF1, 0x02, 0x00, 0x05, 0x00, 0x00, 0x40});
const QByteArray kNoEndMark = bytes({0x01, 0x20, 0x03, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x18, 0x01, 0x00, 0x41});

QByteArray earlyLongFrame()
{
    QByteArray f = frame(CMD_PRESET_LIST, 1, 779, 20);
    f[19] = 0x40;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    FrameAssembler, AssemblerStream,
    ::testing::Values(
        StreamCase{"probe frame", 0, kProbe, {kProbe}, 0},
        StreamCase{"garbage before a frame is dropped",
                   0,
                   bytes({0xFF, 0x00, 0x40, 0x20, 0x03}) + kProbe,
                   {kProbe},
                   0},
        StreamCase{"doubled first byte loses the frame", 0, bytes({0x01}) + kProbe, {}, 0},
        StreamCase{"two frames in one chunk, in order", 0, kProbe + kFwRequest, {kProbe, kFwRequest}, 0},
        StreamCase{"short frame without end mark keeps collecting",
                   0,
                   kNoEndMark + kProbe,
                   {},
                   kNoEndMark.size() + kProbe.size()},
        StreamCase{"length byte below 11 keeps collecting", 0, frame(0x10, 0, 11, 5), {}, 11},
        StreamCase{"preset list 1", 0, frame(CMD_PRESET_LIST, 1, 779), {frame(CMD_PRESET_LIST, 1, 779)}, 0},
        StreamCase{"preset list 2", 0, frame(CMD_PRESET_LIST, 2, 779), {frame(CMD_PRESET_LIST, 2, 779)}, 0},
        StreamCase{"preset list 3", 0, frame(CMD_PRESET_LIST, 3, 1675), {frame(CMD_PRESET_LIST, 3, 1675)}, 0},
        StreamCase{"preset list 4", 0, frame(CMD_PRESET_LIST, 4, 395), {frame(CMD_PRESET_LIST, 4, 395)}, 0},
        StreamCase{"preset list needs its end mark", 0, frame(CMD_PRESET_LIST, 1, 779, 0, 0x00), {}, 779},
        StreamCase{"preset list of another kind's size", 0, frame(CMD_PRESET_LIST, 3, 779), {}, 779},
        StreamCase{"memory block 1",
                   0,
                   frame(CMD_MEMORY_EXPORT, 1, 2796, 0, 0x00),
                   {frame(CMD_MEMORY_EXPORT, 1, 2796, 0, 0x00)},
                   0},
        StreamCase{"memory block 2",
                   0,
                   frame(CMD_MEMORY_EXPORT, 2, 3276, 0, 0x11),
                   {frame(CMD_MEMORY_EXPORT, 2, 3276, 0, 0x11)},
                   0},
        StreamCase{
            "memory block 3", 0, frame(CMD_MEMORY_EXPORT, 3, 2300), {frame(CMD_MEMORY_EXPORT, 3, 2300)}, 0},
        StreamCase{"memory block 4 whatever its last byte",
                   0,
                   frame(CMD_MEMORY_EXPORT, 4, 4012, 0, 0x00),
                   {frame(CMD_MEMORY_EXPORT, 4, 4012, 0, 0x00)},
                   0},
        StreamCase{
            "memory block 5", 0, frame(CMD_MEMORY_EXPORT, 5, 4012), {frame(CMD_MEMORY_EXPORT, 5, 4012)}, 0},
        StreamCase{"memory block short of its size", 0, frame(CMD_MEMORY_EXPORT, 1, 2795), {}, 2795},
        StreamCase{"scene preset, utype 0",
                   0,
                   frame(CMD_READ_PRESET, 4, 3938),
                   {frame(CMD_READ_PRESET, 4, 3938)},
                   0},
        StreamCase{"scene preset, utype 1",
                   1,
                   frame(CMD_READ_PRESET, 4, 3939),
                   {frame(CMD_READ_PRESET, 4, 3939)},
                   0},
        StreamCase{"longer scene preset with utype 0", 0, frame(CMD_READ_PRESET, 4, 3939), {}, 3939},
        StreamCase{"shorter scene preset with utype 1", 1, frame(CMD_READ_PRESET, 4, 3938), {}, 3938},
        StreamCase{"long preset of another kind", 0, frame(CMD_READ_PRESET, 3, 3938), {}, 3938},
        StreamCase{"DSP packet whatever its last byte",
                   0,
                   frame(CMD_DSP_READ, 2, 269, 0, 0x7F),
                   {frame(CMD_DSP_READ, 2, 269, 0, 0x7F)},
                   0},
        StreamCase{"long frame of an unlisted command", 0, frame(0x30, 1, 1000), {}, 1000},
        StreamCase{"long frame accepted early by its length byte",
                   0,
                   earlyLongFrame(),
                   {earlyLongFrame().left(20)},
                   0}));

TEST(FrameAssembler, AssemblesAFrameSplitAtEveryPoint)
{
    const QByteArray stream = kProbe + frame(CMD_PRESET_LIST, 4, 395) + kFwRequest;
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        Recorder r;
        r.assembler.feed(stream.left(cut));
        r.assembler.feed(stream.mid(cut));
        ASSERT_EQ(r.frames.size(), 3) << "cut at " << cut;
        EXPECT_EQ(r.frames.join(), stream);
    }
}

TEST(FrameAssembler, DspPacketResetsTheWatchdogBeforeDispatch)
{
    Recorder r;
    r.assembler.feed(frame(CMD_DSP_READ, 2, 269));
    r.assembler.feed(frame(CMD_DSP_READ, 2, 15)); // short: the length rule, no reset
    EXPECT_EQ(r.events, QStringList({"dsp", "frame 269", "frame 15"}));
}

TEST(FrameAssembler, DiscardInputNeedsAFreshStart)
{
    Recorder r;
    r.assembler.feed(kProbe.left(5));
    r.assembler.discardInput();
    EXPECT_TRUE(r.assembler.rxBuffer().isEmpty());
    r.assembler.feed(kProbe.mid(5));
    EXPECT_TRUE(r.frames.isEmpty());
    EXPECT_TRUE(r.assembler.rxBuffer().isEmpty());
    r.assembler.feed(kProbe);
    EXPECT_EQ(r.frames, QList<QByteArray>({kProbe}));
}

// --- Bounded buffer and resynchronisation ---------------------------------------------------

TEST(FrameAssembler, BrokenFrameIsGivenUpAtTheLargestFrameSize)
{
    Recorder r;
    r.assembler.feed(kNoEndMark);
    for (int i = 0; i < 3 * kMaxFrameSize; ++i) {
        r.assembler.assembleByte(0x00);
        ASSERT_LE(r.assembler.rxBuffer().size(), kMaxFrameSize);
    }
    EXPECT_TRUE(r.assembler.rxBuffer().isEmpty());
    r.assembler.feed(kProbe);
    EXPECT_EQ(r.frames, QList<QByteArray>({kProbe}));
}

TEST(FrameAssembler, FramesCaughtBehindABrokenOneAreFoundOnRescan)
{
    Recorder r;
    const QByteArray list = frame(CMD_PRESET_LIST, 4, 395);
    const QByteArray behind = kNoEndMark + kProbe + list;
    r.assembler.feed(behind);
    EXPECT_TRUE(r.frames.isEmpty());
    // The stretch reaches the bound: the two frames inside it come out, in order.
    r.assembler.feed(QByteArray(kMaxFrameSize - behind.size(), '\0'));
    EXPECT_EQ(r.frames, QList<QByteArray>({kProbe, list}));
    EXPECT_TRUE(r.assembler.rxBuffer().isEmpty());
}

TEST(FrameAssembler, LargestFramesAreNotMistakenForOverflow)
{
    Recorder r;
    const QByteArray block = frame(CMD_MEMORY_EXPORT, 4, 4012, 0, 0x00);
    r.assembler.feed(block + block);
    EXPECT_EQ(r.frames, QList<QByteArray>({block, block}));
}

// --- Frames arriving while one is being handled ---------------------------------------------

TEST(FrameAssembler, BytesFedDuringDispatchAreKeptInOrder)
{
    FrameAssembler assembler;
    QList<QByteArray> frames;
    QList<qsizetype> bufferAtDispatch;
    const QByteArray late = frame(CMD_PRESET_WRITTEN, 4, 12);
    assembler.setFrameHandler([&](const QByteArray &f) {
        frames << f;
        bufferAtDispatch << assembler.rxBuffer().size();
        if (frames.size() == 1)
            assembler.feed(late); // a read event in a nested event loop
    });
    assembler.feed(kProbe + kFwRequest);
    EXPECT_EQ(frames, QList<QByteArray>({kProbe, kFwRequest, late}));
    EXPECT_EQ(bufferAtDispatch, QList<qsizetype>({0, 0, 0}));
}

TEST(FrameAssembler, DiscardDuringDispatchDropsEverythingReceivedSoFar)
{
    FrameAssembler assembler;
    QList<QByteArray> frames;
    assembler.setFrameHandler([&](const QByteArray &f) {
        frames << f;
        if (frames.size() == 1) {
            assembler.feed(kProbe);
            assembler.discardInput();
        }
    });
    assembler.feed(kProbe + kFwRequest);
    EXPECT_EQ(frames.size(), 1);
    assembler.feed(kFwRequest);
    EXPECT_EQ(frames, QList<QByteArray>({kProbe, kFwRequest}));
}

// --- Hostile input ----------------------------------------------------------------------------

struct NoiseCase {
    const char *name;
    std::function<QByteArray(std::mt19937 &)> make;
};

void PrintTo(const NoiseCase &c, std::ostream *os)
{
    *os << c.name;
}

class AssemblerNoise : public ::testing::TestWithParam<NoiseCase> {};

// Whatever comes first, the buffer stays bounded and a good frame after it is not lost.
TEST_P(AssemblerNoise, StaysBoundedAndRecovers)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 8; ++round) {
        Recorder r;
        const QByteArray noise = GetParam().make(rng);
        std::uniform_int_distribution<int> chunk(1, 9000);
        for (qsizetype at = 0; at < noise.size();) {
            const qsizetype n = std::min<qsizetype>(chunk(rng), noise.size() - at);
            r.assembler.feed(noise.constData() + at, n);
            at += n;
            ASSERT_LE(r.assembler.rxBuffer().size(), kMaxFrameSize);
        }
        // Any frame begun in the noise is accepted or given up within the largest frame size.
        r.assembler.feed(QByteArray(kMaxFrameSize, '\0'));
        EXPECT_TRUE(r.assembler.rxBuffer().isEmpty()) << "round " << round;
        r.assembler.feed(kFwRequest);
        ASSERT_FALSE(r.frames.isEmpty()) << "round " << round;
        EXPECT_EQ(r.frames.last(), kFwRequest) << "round " << round;
    }
}

QByteArray randomBytes(std::mt19937 &rng, int size)
{
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray out(size, '\0');
    for (char &c : out)
        c = char(byte(rng));
    return out;
}

// Random bytes with many signatures in them, so that broken frames are common.
QByteArray signatureRich(std::mt19937 &rng)
{
    QByteArray out;
    std::uniform_int_distribution<int> len(0, 300);
    for (int i = 0; i < 60; ++i)
        out += bytes({0x01, 0x20, 0x03}) + randomBytes(rng, len(rng));
    return out;
}

QByteArray truncatedFrames(std::mt19937 &rng)
{
    const QList<QByteArray> whole = {kProbe, kFwRequest, frame(CMD_PRESET_LIST, 3, 1675),
                                     frame(CMD_MEMORY_EXPORT, 4, 4012), frame(CMD_DSP_READ, 3, 269)};
    QByteArray out;
    for (const QByteArray &f : whole) {
        std::uniform_int_distribution<qsizetype> cut(1, f.size() - 1);
        out += f.left(cut(rng)) + kProbe;
    }
    return out;
}

QByteArray unlistedLongSizes(std::mt19937 &)
{
    QByteArray out;
    for (int size : {269, 395, 779, 1675, 2300, 2796, 3276, 3938, 3939, 4012}) {
        out += frame(CMD_PRESET_LIST, 1, size + 1, 0, 0x00);
        out += frame(CMD_MEMORY_EXPORT, 6, size);
        out += frame(CMD_READ_PRESET, 2, size);
        out += frame(0x77, 4, size - 1);
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(FrameAssembler, AssemblerNoise,
                         ::testing::Values(NoiseCase{"random bytes",
                                                     [](std::mt19937 &g) { return randomBytes(g, 20000); }},
                                           NoiseCase{"signature-rich noise", signatureRich},
                                           NoiseCase{"truncated frames", truncatedFrames},
                                           NoiseCase{"long frames of unlisted sizes", unlistedLongSizes}));

TEST(FrameAssembler, EveryCommandPassesTheLengthRule)
{
    Recorder r;
    for (int command = 0; command < 256; ++command)
        r.assembler.feed(frame(command, 1, 11 + command % 200));
    ASSERT_EQ(r.frames.size(), 256);
    for (int command = 0; command < 256; ++command)
        EXPECT_EQ(quint8(r.frames[command].at(kOffsetCommand)), command);
}

TEST(FrameAssembler, GateFailureAtEachSignatureByteFreesTheNextFrame)
{
    for (int at = 0; at < 3; ++at) {
        Recorder r;
        QByteArray broken = kProbe;
        broken[at] = char(0x55);
        r.assembler.feed(broken + kFwRequest);
        EXPECT_EQ(r.frames, QList<QByteArray>({kFwRequest})) << "signature byte " << at;
    }
}

} // namespace

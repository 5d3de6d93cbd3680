#include "firmware/DspReadback.h"
#include "link/Dispatcher.h"
#include "link/ResponseWatchdog.h"

#include "FakePrompts.h"
#include "FirmwareRunSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace q48;
using namespace q48::test;

namespace {

QByteArray dspFrame(int code, int packet, char fill)
{
    QByteArray f(269, fill);
    const char head[] = {0x01,
                         0x20,
                         0x03,
                         0x0D,
                         0x00,
                         0x01,
                         0x00,
                         0x01,
                         char(0xF2),
                         char(code),
                         char(packet >> 8),
                         char(packet & 0xFF)};
    f.replace(0, sizeof head, QByteArray(head, sizeof head));
    f[268] = 0x40;
    return f;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class DspFixture : public ::testing::Test {
protected:
    FakePrompts prompts;
    RecordingSink sink;
    ResponseWatchdog watchdog{prompts};
    QTemporaryDir out;
    DspReadback dsp{sink, watchdog, prompts, out.path()};
    Dispatcher dispatcher;

    void SetUp() override { dsp.registerHandlers(dispatcher); }
};

TEST_F(DspFixture, DownloadSendsOneRequestUntilItEnds)
{
    dsp.DSPbtn1Click(1);
    dsp.DSPbtn1Click(1); // pressed twice quickly
    EXPECT_EQ(sink.frames, QList<QByteArray>({QByteArray::fromHex("0120030f00010001f20301010101"
                                                                  "40")}));
    EXPECT_FALSE(dsp.dspReady());
    EXPECT_TRUE(watchdog.isRunning());

    QSignalSpy progress(&dsp, &DspReadback::progressChanged);
    for (int p = 0; p <= 321; ++p)
        dispatcher.dispatchFrame(dspFrame(3, p, char(p)));
    EXPECT_FALSE(watchdog.isRunning());
    EXPECT_TRUE(dsp.dspReady());
    EXPECT_TRUE(dsp.dspData().isEmpty());
    EXPECT_EQ(progress.last().at(0).toInt(), DspReadback::kProgressMaximum);
    EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("Receiver Data over!")}));

    QByteArray expected;
    for (int p = 0; p <= 321; ++p)
        expected += QByteArray(256, char(p));
    const QByteArray file = readFile(QDir(out.path()).filePath(QStringLiteral("DSP2.bin")));
    EXPECT_EQ(file.size(), 82434);
    EXPECT_TRUE(file == expected + "\r\n");

    dsp.DSPbtn1Click(0); // usable again
    EXPECT_EQ(sink.frames.size(), 2);
    watchdog.stopWatchdog();
}

TEST_F(DspFixture, LastPacketFirstEndsAtOnce)
{
    dsp.DSPbtn1Click(0);
    dispatcher.dispatchFrame(dspFrame(2, 321, 'x'));
    EXPECT_EQ(readFile(dsp.dspFilePath(2)), QByteArray(256, 'x') + "\r\n");
    EXPECT_EQ(dsp.dspFilePath(2), QDir(out.path()).filePath(QStringLiteral("DSP1.bin")));
    EXPECT_TRUE(dsp.dspReady());
}

TEST_F(DspFixture, NoRequestWithoutLinkOrForOtherItemsButTheWatchdogRuns)
{
    for (int item : {2, -1}) {
        DspReadback other(sink, watchdog, prompts, out.path());
        other.DSPbtn1Click(item);
        EXPECT_FALSE(other.dspReady());
    }
    sink.connected = false;
    DspReadback offline(sink, watchdog, prompts, out.path());
    offline.DSPbtn1Click(0);
    EXPECT_TRUE(sink.frames.isEmpty());
    EXPECT_TRUE(watchdog.isRunning());
    watchdog.stopWatchdog();
}

TEST_F(DspFixture, SilentDeviceMakesTheButtonUsableAgain)
{
    watchdog.setInterval(20);
    dsp.DSPbtn1Click(0);
    dispatcher.dispatchFrame(dspFrame(2, 0, 'a'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dsp.dspReady(); }, 5000));
    EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("No reponsed ,please recall once")}));
    EXPECT_EQ(dsp.dspData().size(), 256); // kept until the next download starts
    dsp.DSPbtn1Click(0);
    EXPECT_TRUE(dsp.dspData().isEmpty());
    watchdog.stopWatchdog();
}

TEST_F(DspFixture, UnwritableFolderIsNamedAndNothingIsClaimed)
{
    const QString missing = QDir(out.path()).filePath(QStringLiteral("gone"));
    dsp.setOutputFolder(missing);
    dsp.DSPbtn1Click(0);
    dispatcher.dispatchFrame(dspFrame(2, 321, 'x'));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QDir::toNativeSeparators(dsp.dspFilePath(2))));
    EXPECT_FALSE(QFile::exists(dsp.dspFilePath(2)));
    EXPECT_TRUE(dsp.dspReady());
}

TEST_F(DspFixture, ReplacesAnEarlierFile)
{
    QFile old(dsp.dspFilePath(2));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'o'));
    old.close();
    EXPECT_TRUE(dsp.saveDspImage(2, QByteArrayLiteral("new")));
    EXPECT_EQ(readFile(dsp.dspFilePath(2)), QByteArrayLiteral("new\r\n"));
}

// A device that streams data frames without ever sending 321 (or with no read-back asked for)
// must not make the tool hold more than one image.
TEST_F(DspFixture, EndlessStreamHoldsAtMostOneImage)
{
    dsp.DSPbtn1Click(0);
    for (int n = 0; n < 2000; ++n)
        dispatcher.dispatchFrame(dspFrame(2, n % 300, char('a' + n % 26)));
    EXPECT_EQ(dsp.dspData().size(), 322 * 256);
    dispatcher.dispatchFrame(dspFrame(2, 321, 'z'));
    EXPECT_EQ(readFile(dsp.dspFilePath(2)).size(), 322 * 256 + 2);
    watchdog.stopWatchdog();
}

} // namespace

// Programming the four firmware images into q48-sim, over TCP and over its serial link.

#include "FirmwareE2eFixture.h"

namespace q48::test {
namespace {

const QString kSuccess = QStringLiteral("Sucess to Program,Please Restart the Device~!");

using FirmwareE2e = FirmwareE2eFixture;

QJsonObject imageSummary(const QJsonObject &summary, int image)
{
    return summary[QStringLiteral("images")][QString::number(image)].toObject();
}

// The tokens of a clean transfer of one image: start frame, then its packets or the end byte.
QStringList cleanTransfer(int image, int packets)
{
    const QString start = image == 0 ? QStringLiteral("FA") : QStringLiteral("F0");
    const QString data = image == 0 ? QStringLiteral("FB") : QStringLiteral("F1");
    QStringList tokens{QStringLiteral("%1:%2 n=%3").arg(start).arg(image).arg(packets)};
    for (int n = 0; n < packets; ++n)
        tokens << QStringLiteral("%1:%2 #%3").arg(data).arg(image).arg(n);
    if (packets == 0)
        tokens << QStringLiteral("04");
    return tokens;
}

TEST_P(FirmwareE2e, FourImagesAreProgrammedInOrder)
{
    startSim({QStringLiteral("--reboot-seconds"), QStringLiteral("1")});
    connectLink();
    openFirmwareWindow({3000, 1026, 2, 70000}, 1300);

    ASSERT_TRUE(run->program());
    ASSERT_TRUE(QTest::qWaitFor([&] { return run->isFinished(); }, 60000));

    const int packets[4] = {3, 1, 0, 69};
    QStringList expected{QStringLiteral("F8")};
    for (int i = 0; i < 4; ++i)
        expected << cleanTransfer(i, packets[i]);
    EXPECT_EQ(receivedTokens(), expected);

    EXPECT_EQ(outcomes, (QList<QPair<int, int>>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(display.status, kSuccess);
    EXPECT_EQ(display.led, 3);
    EXPECT_EQ(display.progress, 69);
    EXPECT_FALSE(display.countdownVisible);
    EXPECT_EQ(display.countdownValues, QList<int>({2, 1}));
    EXPECT_TRUE(prompts.messages().isEmpty());

    const QJsonObject summary = stopSim();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject image = imageSummary(summary, i);
        EXPECT_EQ(image[QStringLiteral("result")].toString(), QStringLiteral("done"));
        EXPECT_EQ(image[QStringLiteral("packetCount")].toInt(), packets[i]);
        EXPECT_EQ(image[QStringLiteral("sha256")].toString(), sha256Hex(expectedImage(lib->files[i])));
        EXPECT_EQ(image[QStringLiteral("prepared")].toBool(), i == 0);
    }
    EXPECT_TRUE(summary[QStringLiteral("errors")].toArray().isEmpty()) << sim->output().toStdString();
}

TEST_P(FirmwareE2e, FailedAndRefusedImagesDoNotStopTheRun)
{
    startSim({QStringLiteral("--reboot-seconds"), QStringLiteral("1"), QStringLiteral("--fault"),
              QStringLiteral("fail-packet:1:1"), QStringLiteral("--fault"), QStringLiteral("not-ready:2"),
              QStringLiteral("--fault"), QStringLiteral("dup-request:3:5")});
    connectLink();
    openFirmwareWindow({3000, 3000, 5000, 9000}, 1300);

    ASSERT_TRUE(run->program());
    ASSERT_TRUE(QTest::qWaitFor([&] { return run->isFinished(); }, 60000));

    EXPECT_EQ(
        outcomes,
        (QList<QPair<int, int>>{
            {0, FW_RESULT_DONE}, {1, FW_RESULT_FAILED}, {2, FW_RESULT_NOT_READY}, {3, FW_RESULT_DONE}}));
    EXPECT_EQ(run->imageStates(),
              (std::array<FirmwareRun::ImageState, 4>{FirmwareRun::programmed, FirmwareRun::failed,
                                                      FirmwareRun::failed, FirmwareRun::programmed}));
    EXPECT_TRUE(display.log.contains(QStringLiteral("status Device Not Ready~!")));
    EXPECT_TRUE(display.log.contains(QStringLiteral("status Fail to Program~!")));
    EXPECT_EQ(display.status, kSuccess);

    // The repeated request is answered with the same packet again.
    const QStringList tokens = receivedTokens();
    EXPECT_EQ(tokens.count(QStringLiteral("F1:3 #5")), 2);
    EXPECT_EQ(tokens.count(QStringLiteral("F1:1 #2")), 0) << "nothing after the failed packet";

    const QJsonObject summary = stopSim();
    EXPECT_EQ(imageSummary(summary, 1)[QStringLiteral("result")].toString(), QStringLiteral("failed"));
    EXPECT_EQ(imageSummary(summary, 2)[QStringLiteral("result")].toString(), QStringLiteral("not-ready"));
    const QJsonObject last = imageSummary(summary, 3);
    EXPECT_EQ(last[QStringLiteral("result")].toString(), QStringLiteral("done"));
    EXPECT_EQ(last[QStringLiteral("duplicates")].toInt(), 1);
    EXPECT_EQ(last[QStringLiteral("sha256")].toString(), sha256Hex(expectedImage(lib->files[3])));
}

TEST_P(FirmwareE2e, ReadyForAnotherImageThenAStallLeaveTheToolUsable)
{
    startSim({QStringLiteral("--fault"), QStringLiteral("wrong-image:0"), QStringLiteral("--fault"),
              QStringLiteral("stall:5")});
    connectLink();
    openFirmwareWindow({3000, 1026, 2, 9000}, 1300);

    ASSERT_TRUE(run->program());
    ASSERT_TRUE(QTest::qWaitFor([&] { return receivedTokens().contains(QStringLiteral("F1:3 #4")); }, 30000));
    settle(500);
    const QStringList stalled = receivedTokens();
    EXPECT_EQ(stalled.last(), QStringLiteral("F1:3 #4")) << "nothing sent that was not asked for";
    EXPECT_EQ(outcomes,
              (QList<QPair<int, int>>{{0, FW_RESULT_NOT_READY}, {1, FW_RESULT_DONE}, {2, FW_RESULT_DONE}}));
    EXPECT_TRUE(run->isRunning());
    EXPECT_FALSE(run->isFinished());

    // Program again: a new run from image 0, although the device no longer answers.
    ASSERT_TRUE(run->program());
    settle(200);
    const QStringList again = receivedTokens();
    EXPECT_EQ(again.mid(stalled.size()), QStringList({QStringLiteral("F8"), QStringLiteral("FA:0 n=3")}));
    EXPECT_EQ(programmer->dindex(), 0);
    EXPECT_EQ(display.led, 0);
}

// A serial line cannot be closed by the device, so this one runs over TCP only.
using FirmwareE2eTcp = FirmwareE2eFixture;

TEST_P(FirmwareE2eTcp, LinkDroppedDuringTheRestartStopsTheRunWithAMessage)
{
    startSim({QStringLiteral("--reboot-seconds"), QStringLiteral("1"), QStringLiteral("--fault"),
              QStringLiteral("close-in-reboot")});
    connectLink();
    openFirmwareWindow({3000, 1026, 2, 3000}, 1300);
    QSignalSpy stopped(run.get(), &FirmwareRun::stopped);

    ASSERT_TRUE(run->program());
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.size() == 1; }, 30000));
    EXPECT_EQ(stopped[0][0].toInt(), 1);
    EXPECT_FALSE(core.isLinkConnected());
    EXPECT_EQ(outcomes, (QList<QPair<int, int>>{{0, FW_RESULT_DONE}}));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("KB0122001505")));
    EXPECT_EQ(imageSummary(stopSim(), 0)[QStringLiteral("result")].toString(), QStringLiteral("done"));
}

TEST_P(FirmwareE2e, MissingImageFileStopsTheRunBeforeAnythingIsSent)
{
    startSim({});
    connectLink();
    openFirmwareWindow({-1, 1026, 2000, 3000}, 1300);
    programmer->setDindex(3);

    EXPECT_FALSE(run->program());
    settle(200);
    EXPECT_EQ(prompts.messages(),
              QStringList(
                  {QStringLiteral("Please check the firware of MB0126001505,We found the file has lost!")}));
    EXPECT_TRUE(sim->recordedFrames().isEmpty());
    EXPECT_EQ(display.led, -1);
    EXPECT_EQ(programmer->dindex(), 3);
    EXPECT_FALSE(run->isRunning());
}

TEST_P(FirmwareE2e, NoConnectionSendsNothing)
{
    startSim({});
    openFirmwareWindow({3000, 1026, 2000, 3000}, 1300);

    EXPECT_FALSE(run->program());
    EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("Please connect the Remote Device first~!")}));
    connectLink(); // anything sent before would show up once connected
    settle(200);
    EXPECT_TRUE(sim->recordedFrames().isEmpty());
    EXPECT_TRUE(display.log.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Links, FirmwareE2e,
                         ::testing::Values(int(LinkCore::TcpLink), int(LinkCore::SerialLink)),
                         firmwareLinkName);
INSTANTIATE_TEST_SUITE_P(Links, FirmwareE2eTcp, ::testing::Values(int(LinkCore::TcpLink)), firmwareLinkName);

} // namespace
} // namespace q48::test

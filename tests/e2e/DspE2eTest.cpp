// Reading DSP firmware back from q48-sim into DSP1.bin, over TCP and over its serial link.

#include "FirmwareE2eFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace q48::test {
namespace {

class DspE2e : public FirmwareE2eFixture {
protected:
    QTemporaryDir out;
    std::unique_ptr<DspReadback> dsp;

    void openDsp()
    {
        dsp = std::make_unique<DspReadback>(core, core.watchdog(), prompts, out.path());
        dsp->registerHandlers(core.dispatcher());
    }
};

TEST_P(DspE2e, ReadBackOf322PacketsBecomesDsp1Bin)
{
    startSim({});
    connectLink();
    openDsp();

    dsp->DSPbtn1Click(0);
    EXPECT_FALSE(dsp->dspReady());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dsp->dspReady(); }, 30000));
    EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("Receiver Data over!")}));
    EXPECT_EQ(dsp->progress(), DspReadback::kProgressMaximum);
    EXPECT_FALSE(core.watchdog().isRunning());

    QFile file(QDir(out.path()).filePath(QStringLiteral("DSP1.bin")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_EQ(content.size(), 82434);
    EXPECT_TRUE(content.endsWith("\r\n"));

    const QJsonArray reads = stopSim()[QStringLiteral("dsp")].toArray();
    ASSERT_EQ(reads.size(), 1);
    EXPECT_EQ(reads[0][QStringLiteral("subCode")].toInt(), 2);
    EXPECT_EQ(reads[0][QStringLiteral("sha256")].toString(), sha256Hex(content.chopped(2)));
}

TEST_P(DspE2e, WatchdogGivesUpOnASilentDevice)
{
    // Silent from the start, or after 100 packets: either way no file, and the button works again.
    for (const QString &fault : {QStringLiteral("stall:100"), QStringLiteral("probe-silent")}) {
        SCOPED_TRACE(fault.toStdString());
        if (fault == QStringLiteral("probe-silent") && serial())
            continue; // silences TCP connections only
        prompts.asked.clear();
        startSim({QStringLiteral("--fault"), fault});
        connectLink();
        openDsp();
        core.watchdog().setInterval(100);

        dsp->DSPbtn1Click(0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dsp->dspReady(); }, 30000));
        EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("No reponsed ,please recall once")}));
        EXPECT_FALSE(core.watchdog().isRunning());
        EXPECT_EQ(dsp->dspData().size(), fault.startsWith(QLatin1String("stall")) ? 100 * 256 : 0);
        EXPECT_FALSE(QFile::exists(QDir(out.path()).filePath(QStringLiteral("DSP1.bin"))));
        stopSim();
    }
}

INSTANTIATE_TEST_SUITE_P(Links, DspE2e, ::testing::Values(int(LinkCore::TcpLink), int(LinkCore::SerialLink)),
                         firmwareLinkName);

} // namespace
} // namespace q48::test

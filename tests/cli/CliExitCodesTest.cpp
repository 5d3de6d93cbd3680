#include "CliFixture.h"

#include "link/CommandCodes.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>

using namespace q48;
using namespace q48::test;

namespace {

using CliExitCodes = CliFixture;

// Mistakes on the command line end at once with 2 and a message; nothing is connected.
TEST_F(CliExitCodes, UsageErrorsNameTheMistake)
{
    const struct {
        QStringList args;
        const char *says;
    } cases[] = {
        {{}, "No command"},
        {{QStringLiteral("frobnicate")}, "Unknown command"},
        {{QStringLiteral("presets"), QStringLiteral("list"), QStringLiteral("--kind"),
          QStringLiteral("reverb")},
         "--kind"},
        {{QStringLiteral("presets"), QStringLiteral("delete"), QStringLiteral("--kind"),
          QStringLiteral("geq"), QStringLiteral("--slot"), QStringLiteral("49")},
         "slots 1 to 48"},
        {{QStringLiteral("presets"), QStringLiteral("save"), QStringLiteral("--kind"), QStringLiteral("dsp"),
          QStringLiteral("--slot"), QStringLiteral("1"), QStringLiteral("--name"), QStringLiteral("ab")},
         "--channel is required"},
        {{QStringLiteral("presets"), QStringLiteral("read"), QStringLiteral("--kind"), QStringLiteral("dfx"),
          QStringLiteral("--slot"), QStringLiteral("1")},
         "-o FILE"},
        {{QStringLiteral("memory"), QStringLiteral("export"), QStringLiteral("-o"), QStringLiteral("m.ept")},
         "--yes"},
        {{QStringLiteral("firmware"), QStringLiteral("program"), QStringLiteral("--utype"),
          QStringLiteral("7")},
         "--utype"},
        {{QStringLiteral("dsp"), QStringLiteral("read"), QStringLiteral("--dsp"), QStringLiteral("3")},
         "--dsp"},
        {{QStringLiteral("memory"), QStringLiteral("import")}, "one FILE"},
        {{QStringLiteral("discover"), QStringLiteral("--slot"), QStringLiteral("1")}, "slot"},
    };
    for (const auto &c : cases) {
        const CliRun r = run(c.args, 15000);
        EXPECT_EQ(r.exitCode, 2) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const CliRun help = run({QStringLiteral("presets"), QStringLiteral("write"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("presets write --kind K")));
}

TEST_F(CliExitCodes, NoDeviceRefusedOrLostGiveThree)
{
    const CliRun none =
        run({QStringLiteral("presets"), QStringLiteral("list"), QStringLiteral("--search-address"),
             QStringLiteral("127.0.0.1"), QStringLiteral("--search-port"), QStringLiteral("9"),
             QStringLiteral("--udp-port"), QStringLiteral("0"), QStringLiteral("--serial-ports"), QString(),
             QStringLiteral("--timeout"), QStringLiteral("2"), QStringLiteral("--lib"), lib()});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_TRUE(none.err.contains(QStringLiteral("No device found"))) << none.err.toStdString();

    // A port nobody listens on: take a free one and let it go.
    quint16 closed = 0;
    {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        closed = server.serverPort();
    }
    const CliRun refused = run({QStringLiteral("presets"), QStringLiteral("list"), QStringLiteral("--device"),
                                QStringLiteral("127.0.0.1:%1").arg(closed), QStringLiteral("--lib"), lib(),
                                QStringLiteral("--timeout"), QStringLiteral("5")});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Cannot connect"))) << refused.err.toStdString();

    // The device goes away in the middle of an export.
    startSim({QStringLiteral("--fault"), QStringLiteral("stream-delay:100")});
    QProcess process;
    process.start(ctlPath(),
                  QStringList{QStringLiteral("memory"), QStringLiteral("export"), QStringLiteral("-o"),
                              file(QStringLiteral("m.ept")), QStringLiteral("--yes")} +
                      device());
    QDeadlineTimer deadline(30000);
    QByteArray err;
    while (!deadline.hasExpired() && !err.contains("packet 3/30") &&
           process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(50);
        err += process.readAllStandardError();
    }
    sim->stop();
    if (!process.waitForFinished(30000))
        process.kill();
    process.waitForFinished(5000);
    err += process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 3) << err.toStdString();
    EXPECT_TRUE(err.contains("was lost")) << err.toStdString();
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("m.ept"))));
}

TEST_F(CliExitCodes, StalledDeviceTimesOutNamingTheMessage)
{
    startSim({QStringLiteral("--fault"), QStringLiteral("stall:5")});
    const CliRun r =
        run(QStringList{QStringLiteral("memory"), QStringLiteral("export"), QStringLiteral("-o"),
                        file(QStringLiteral("m.ept")), QStringLiteral("--yes"), QStringLiteral("--timeout"),
                        QStringLiteral("2"), QStringLiteral("--json")} +
            device());
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_TRUE(r.err.contains(QStringLiteral("memory export packet 6/30"))) << r.err.toStdString();
    ASSERT_EQ(r.json().size(), 1);
    EXPECT_EQ(r.json()[0].value(QStringLiteral("exit")).toInt(), 4);
}

TEST_F(CliExitCodes, DeviceFailuresGiveOne)
{
    writeImages(3000);
    startSim({QStringLiteral("--reboot-seconds"), QStringLiteral("1"), QStringLiteral("--fault"),
              QStringLiteral("fail-packet:1:1"), QStringLiteral("--fault"), QStringLiteral("not-ready:3")});
    const CliRun fw = run(QStringList{QStringLiteral("firmware"), QStringLiteral("program"),
                                      QStringLiteral("--reboot-delay"), QStringLiteral("1"),
                                      QStringLiteral("--image-pause-ms"), QStringLiteral("50")} +
                          device());
    EXPECT_EQ(fw.exitCode, 1) << fw.err.toStdString();
    const QStringList lines = fw.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].contains(QStringLiteral(": programmed, 3 packets")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(": failed"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[3].contains(QStringLiteral(": not ready, 0 packets"))) << lines[3].toStdString();

    // A damaged export is not saved.
    sim->stop();
    startSim({QStringLiteral("--fault"), QStringLiteral("export-drop:7")});
    const CliRun ex =
        run(QStringList{QStringLiteral("memory"), QStringLiteral("export"), QStringLiteral("-o"),
                        file(QStringLiteral("m.ept")), QStringLiteral("--yes")} +
            device());
    EXPECT_EQ(ex.exitCode, 1);
    EXPECT_TRUE(ex.err.contains(QStringLiteral("packet 7 did not arrive"))) << ex.err.toStdString();
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("m.ept"))));
}

// Bad files end with 5 and send nothing.
TEST_F(CliExitCodes, FileErrorsGiveFiveAndSendNothing)
{
    startSim();
    const QString shortPreset = file(QStringLiteral("short.sDsp"));
    QFile f(shortPreset);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(50, 'x'));
    f.close();
    const CliRun preset =
        run(QStringList{QStringLiteral("presets"), QStringLiteral("write"), QStringLiteral("--kind"),
                        QStringLiteral("dsp"), QStringLiteral("--channel"), QStringLiteral("CH01"),
                        shortPreset, QStringLiteral("--yes")} +
            device());
    EXPECT_EQ(preset.exitCode, 5);
    EXPECT_TRUE(preset.err.contains(QStringLiteral("not a DSP Channel preset file")))
        << preset.err.toStdString();

    // A whole-sized memory file whose packets are not memory export frames.
    const QString damaged = file(QStringLiteral("bad.ept"));
    QFile m(damaged);
    ASSERT_TRUE(m.open(QIODevice::WriteOnly));
    m.write(QByteArray("Q48MemoryExport-") + QByteArray(113768, '\x5A'));
    m.close();
    const CliRun memory = run(
        QStringList{QStringLiteral("memory"), QStringLiteral("import"), damaged, QStringLiteral("--yes")} +
        device());
    EXPECT_EQ(memory.exitCode, 5) << memory.err.toStdString();

    const CliRun unwritable =
        run(QStringList{QStringLiteral("memory"), QStringLiteral("export"), QStringLiteral("-o"),
                        file(QStringLiteral("no/such/folder/m.ept")), QStringLiteral("--yes")} +
            device());
    EXPECT_EQ(unwritable.exitCode, 5);
    EXPECT_TRUE(unwritable.err.contains(QStringLiteral("does not exist"))) << unwritable.err.toStdString();

    const CliRun noImages =
        run(QStringList{QStringLiteral("firmware"), QStringLiteral("program")} + device());
    EXPECT_EQ(noImages.exitCode, 5);
    EXPECT_TRUE(noImages.err.contains(QStringLiteral("MB0126001505"))) << noImages.err.toStdString();

    EXPECT_TRUE(framesWithCommand(CMD_WRITE_PRESET).isEmpty());
    EXPECT_TRUE(framesWithCommand(CMD_MEMORY_IMPORT).isEmpty());
    EXPECT_TRUE(framesWithCommand(CMD_FW_PREPARE).isEmpty());
}

} // namespace

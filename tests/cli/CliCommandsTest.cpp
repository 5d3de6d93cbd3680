#include "CliFixture.h"

#include "link/CommandCodes.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

using namespace q48;
using namespace q48::test;

namespace {

using CliCommands = CliFixture;

TEST_F(CliCommands, DiscoverPicksTheMixerAndAllListsEveryLink)
{
    startSim({}, true);
    const QStringList search{QStringLiteral("--search-address"),
                             QStringLiteral("127.0.0.1"),
                             QStringLiteral("--search-port"),
                             QString::number(sim->udpPort()),
                             QStringLiteral("--udp-port"),
                             QStringLiteral("0"),
                             QStringLiteral("--tcp-port"),
                             QString::number(sim->tcpPort()),
                             QStringLiteral("--lib"),
                             lib()};

    const CliRun one = run(QStringList{QStringLiteral("discover"), QStringLiteral("--serial-ports"),
                                       QString(), QStringLiteral("--timeout"), QStringLiteral("10")} +
                           search);
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_EQ(one.out.trimmed(), QStringLiteral("tcp 127.0.0.1:%1").arg(sim->tcpPort()));

    const CliRun all = run(QStringList{QStringLiteral("discover"), QStringLiteral("--all"),
                                       QStringLiteral("--json"), QStringLiteral("--serial-ports"),
                                       sim->serialPath(), QStringLiteral("--timeout"), QStringLiteral("3")} +
                           search);
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    QStringList links;
    for (const QJsonObject &o : all.json())
        links << o.value(QStringLiteral("link")).toString() + QLatin1Char(' ') +
                     o.value(QStringLiteral("device")).toString();
    links.sort();
    EXPECT_EQ(links,
              (QStringList{QStringLiteral("serial ") + sim->serialPath(), QStringLiteral("tcp 127.0.0.1")}));
}

TEST_F(CliCommands, PresetsSaveDeleteAndListShowTheDeviceNames)
{
    startSim();
    const CliRun save =
        run(QStringList{QStringLiteral("presets"), QStringLiteral("save"), QStringLiteral("--kind"),
                        QStringLiteral("DSP"), QStringLiteral("--slot"), QStringLiteral("3"),
                        QStringLiteral("--channel"), QStringLiteral("ch02"), QStringLiteral("--name"),
                        QStringLiteral("Vocal Lead")} +
            device());
    ASSERT_EQ(save.exitCode, 0) << save.err.toStdString();
    EXPECT_EQ(save.out.trimmed(), QStringLiteral("003.Vocal Lead"));
    const QList<QJsonObject> names = framesWithCommand(CMD_SAVE_PRESET_NAME);
    ASSERT_EQ(names.size(), 1);
    // Channel CH02 goes out as 2, slot 3 as 2.
    EXPECT_TRUE(names[0]
                    .value(QStringLiteral("hex"))
                    .toString()
                    .mid(20, 4)
                    .compare(QStringLiteral("0202"), Qt::CaseInsensitive) == 0)
        << names[0].value(QStringLiteral("hex")).toString().toStdString();

    const CliRun list =
        run(QStringList{QStringLiteral("presets"), QStringLiteral("list"), QStringLiteral("--kind"),
                        QStringLiteral("dsp"), QStringLiteral("--json")} +
            device());
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QList<QJsonObject> lines = list.json();
    ASSERT_EQ(lines.size(), 48);
    EXPECT_EQ(lines[2].value(QStringLiteral("name")).toString(), QStringLiteral("Vocal Lead"));
    EXPECT_EQ(lines[47].value(QStringLiteral("slot")).toInt(), 48);

    const CliRun del =
        run(QStringList{QStringLiteral("presets"), QStringLiteral("delete"), QStringLiteral("--kind"),
                        QStringLiteral("dsp"), QStringLiteral("--slot"), QStringLiteral("3")} +
            device());
    ASSERT_EQ(del.exitCode, 0) << del.err.toStdString();
    EXPECT_TRUE(del.out.startsWith(QStringLiteral("003."))) << del.out.toStdString();
    EXPECT_FALSE(del.out.contains(QStringLiteral("Vocal Lead")));

    const CliRun all = run(QStringList{QStringLiteral("presets"), QStringLiteral("list")} + device());
    ASSERT_EQ(all.exitCode, 0);
    const QStringList text = all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // Scene, DSP Channel, DFX, GEQ with a header each.
    EXPECT_EQ(text.size(), 4 + 24 + 48 + 104 + 48);
    EXPECT_EQ(text.first(), QStringLiteral("[Scene]"));
    EXPECT_TRUE(text.at(1).startsWith(QStringLiteral("001."))) << text.at(1).toStdString();
    EXPECT_FALSE(all.out.contains(QChar(0)));
}

TEST_F(CliCommands, PresetReadThenWriteOverTheSerialLink)
{
    startSim({}, true);
    const QStringList serial{QStringLiteral("--serial"), sim->serialPath(), QStringLiteral("--lib"), lib()};
    const CliRun read =
        run(QStringList{QStringLiteral("presets"), QStringLiteral("read"), QStringLiteral("--kind"),
                        QStringLiteral("geq"), QStringLiteral("--slot"), QStringLiteral("2"),
                        QStringLiteral("-o"), file(QStringLiteral("eq")), QStringLiteral("--yes")} +
            serial);
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    const QString saved = file(QStringLiteral("eq.sGEQ"));
    EXPECT_EQ(read.out.trimmed(), QStringLiteral("saved ") + saved);
    EXPECT_EQ(QFileInfo(saved).size(), 16 + 44);

    const CliRun write =
        run(QStringList{QStringLiteral("presets"), QStringLiteral("write"), QStringLiteral("--kind"),
                        QStringLiteral("geq"), QStringLiteral("--channel"), QStringLiteral("SUB2"), saved,
                        QStringLiteral("--yes"), QStringLiteral("--json")} +
            serial);
    ASSERT_EQ(write.exitCode, 0) << write.err.toStdString();
    ASSERT_EQ(write.json().size(), 1);
    EXPECT_EQ(write.json()[0].value(QStringLiteral("channel")).toString(), QStringLiteral("SUB2"));
    const QList<QJsonObject> writes = framesWithCommand(CMD_WRITE_PRESET);
    ASSERT_EQ(writes.size(), 1);
    // SUB2 is the third GEQ channel: byte 10 carries 3.
    EXPECT_EQ(writes[0].value(QStringLiteral("hex")).toString().mid(20, 2), QStringLiteral("03"));
}

TEST_F(CliCommands, MemoryExportThenImportSendsTheFileBack)
{
    startSim();
    const QString ept = file(QStringLiteral("all.ept"));
    const CliRun out = run(QStringList{QStringLiteral("memory"), QStringLiteral("export"),
                                       QStringLiteral("-o"), ept, QStringLiteral("--yes")} +
                           device());
    ASSERT_EQ(out.exitCode, 0) << out.err.toStdString();
    EXPECT_EQ(QFileInfo(ept).size(), 16 + 113768);

    const CliRun in = run(QStringList{QStringLiteral("memory"), QStringLiteral("import"), ept,
                                      QStringLiteral("--yes"), QStringLiteral("--json")} +
                          device());
    ASSERT_EQ(in.exitCode, 0) << in.err.toStdString();
    EXPECT_EQ(in.json().value(0).value(QStringLiteral("packets")).toInt(), 30);
    EXPECT_EQ(framesWithCommand(CMD_MEMORY_IMPORT).size(), 30);
}

TEST_F(CliCommands, FirmwareProgramsFourImagesAndReportsWhatWasSent)
{
    writeImages(5000);
    startSim({QStringLiteral("--reboot-seconds"), QStringLiteral("1")});
    const CliRun fw =
        run(QStringList{QStringLiteral("firmware"), QStringLiteral("program"), QStringLiteral("--json"),
                        QStringLiteral("--reboot-delay"), QStringLiteral("1"),
                        QStringLiteral("--image-pause-ms"), QStringLiteral("50")} +
            device());
    ASSERT_EQ(fw.exitCode, 0) << fw.err.toStdString();
    EXPECT_TRUE(fw.err.isEmpty()) << fw.err.toStdString();
    const QList<QJsonObject> lines = fw.json();
    ASSERT_EQ(lines.size(), 4);
    sim->stop();
    const QJsonObject images = sim->summary().value(QStringLiteral("images")).toObject();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].value(QStringLiteral("result")).toString(), QStringLiteral("programmed"));
        EXPECT_EQ(lines[i].value(QStringLiteral("packets")).toInt(), 5);
        // The hash of what was sent is the hash of what the device received.
        EXPECT_EQ(lines[i].value(QStringLiteral("sha256")).toString(),
                  images.value(QString::number(i)).toObject().value(QStringLiteral("sha256")).toString());
    }
}

TEST_F(CliCommands, DspReadAndCArrayWriteTheirFiles)
{
    startSim();
    const QString bin = file(QStringLiteral("dsp2.bin"));
    const CliRun dsp = run(QStringList{QStringLiteral("dsp"), QStringLiteral("read"), QStringLiteral("--dsp"),
                                       QStringLiteral("2"), QStringLiteral("-o"), bin} +
                           device());
    ASSERT_EQ(dsp.exitCode, 0) << dsp.err.toStdString();
    EXPECT_GT(QFileInfo(bin).size(), 322 * 200);
    // Nothing left behind but the file asked for.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{QStringLiteral("dsp2.bin"), QStringLiteral("lib")}));

    const QString out = file(QStringLiteral("array.cpp"));
    const CliRun carray = run({QStringLiteral("carray"), QStringLiteral("--array"), QStringLiteral("1"), bin,
                               QStringLiteral("-o"), out});
    ASSERT_EQ(carray.exitCode, 0) << carray.err.toStdString();
    QFile source(out);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_TRUE(source.readAll().contains("Trelk_LPC1763_APP"));
}

} // namespace

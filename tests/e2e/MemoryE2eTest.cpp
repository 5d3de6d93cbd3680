// Memory export to a .ept file and import back into q48-sim, with the device's faults.

#include "PresetE2eFixture.h"

namespace q48::test {
namespace {

using Events = QList<std::pair<int, int>>;

class MemoryE2e : public PresetE2eFixture {
protected:
    // Exports into `name`.ept; the outcome as the core reported it.
    std::pair<FileResult, QList<int>> exportTo(const QString &name)
    {
        prompts.saveAnswer = path(name);
        const qsizetype before = exports.size();
        EXPECT_TRUE(transfer.memExptBtnClick());
        EXPECT_TRUE(waitFor([&] { return exports.size() > before; }));
        return exports.value(before);
    }

    // The import packets the simulator received, by packet number.
    QList<int> importPacketsReceived() const
    {
        QList<int> packets;
        for (const QJsonObject &f : received(CMD_MEMORY_IMPORT))
            packets << quint8(frameBytes(f).at(10));
        return packets;
    }
};

TEST_P(MemoryE2e, ExportIsSavedAndImportedBackFrameForFrame)
{
    connectToSim();
    window.events.clear();
    const auto [result, missing] = exportTo(QStringLiteral("all"));
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(missing.isEmpty());
    const QByteArray file = readWholeFile(path(QStringLiteral("all.ept")));
    ASSERT_EQ(file.size(), 113784);
    EXPECT_EQ(file.left(16), QByteArray("Q48MemoryExport-"));
    Events expected{{LN_TRANSFER_STATE, 0}};
    for (int p = 1; p <= 30; ++p)
        expected.append({LN_EXPORT_PACKET, p});
    expected.append({LN_TRANSFER_STATE, 1});
    EXPECT_EQ(window.events, expected);

    window.events.clear();
    prompts.openAnswer = path(QStringLiteral("all.ept"));
    ASSERT_TRUE(transfer.memImptBtnClick());
    ASSERT_TRUE(waitFor([&] { return importsFinished == 1; })) << sim->output().toStdString();
    expected = {{LN_TRANSFER_STATE, 0}};
    for (int p = 1; p <= 30; ++p)
        expected.append({LN_IMPORT_PACKET, p});
    expected.append({LN_TRANSFER_STATE, 1});
    expected.append({LN_TRANSFER_STATE, 1});
    EXPECT_EQ(window.events, expected);

    // What went back is each stored frame with only its command byte changed.
    MemoryImage fromFile;
    ASSERT_TRUE(fromFile.setBytes(file.mid(16)));
    QByteArray imported;
    for (int p = 1; p <= 30; ++p) {
        QByteArray frame = fromFile.packetFrame(p);
        frame[8] = char(CMD_MEMORY_IMPORT);
        imported += frame;
    }
    const QJsonObject summary = stopSim();
    const QJsonObject memory = summary[QStringLiteral("memory")].toObject();
    EXPECT_EQ(memory[QStringLiteral("exportSha256")].toString(), sha256Hex(file.mid(16)));
    EXPECT_EQ(memory[QStringLiteral("imports")].toInt(), 1);
    EXPECT_EQ(memory[QStringLiteral("importSha256")].toString(), sha256Hex(imported));
    EXPECT_TRUE(summary[QStringLiteral("errors")].toArray().isEmpty()) << sim->output().toStdString();
}

TEST_P(MemoryE2e, ExportWithAPacketLostSavesNothing)
{
    struct Case {
        const char *fault;
        QList<int> missing;
    };
    const Case cases[] = {
        {"export-drop:12", {12}},
        // Long frames are taken on their exact size: the short packet 7 is completed by the
        // first byte of packet 8, and packet 8 is lost.
        {"export-wrong-size:7", {8}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        connectToSim({QStringLiteral("--fault"), QString::fromLatin1(c.fault)});
        prompts.asked.clear();
        window.events.clear();
        const auto [result, missing] = exportTo(QStringLiteral("lost"));
        EXPECT_EQ(result.status, FileResult::Rejected);
        EXPECT_EQ(missing, c.missing);
        QStringList numbers;
        for (int p : c.missing)
            numbers << QString::number(p);
        EXPECT_EQ(
            prompts.messages(),
            QStringList{QStringLiteral("Memory export incomplete: packet %1 did not arrive. Nothing was "
                                       "saved; please export again.")
                            .arg(numbers.join(QStringLiteral(", ")))});
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("lost.ept"))));
        EXPECT_EQ(window.events.last(), std::make_pair(int(LN_TRANSFER_STATE), 1));
        stopSim();
        exports.clear();
    }
}

TEST_P(MemoryE2e, RepeatedAcknowledgementSendsTheFollowingPacketAgain)
{
    connectToSim({QStringLiteral("--fault"), QStringLiteral("dup-ack:5")});
    ASSERT_TRUE(exportTo(QStringLiteral("all")).first.ok());
    prompts.openAnswer = path(QStringLiteral("all.ept"));
    ASSERT_TRUE(transfer.memImptBtnClick());
    // The device takes the second packet 6 as out of order and stops answering; the tool sends
    // packet 7 on the acknowledgement of the first.
    ASSERT_TRUE(waitFor([&] { return importPacketsReceived().size() >= 8; }));
    EXPECT_EQ(importPacketsReceived(), (QList<int>{1, 2, 3, 4, 5, 6, 6, 7}));
    EXPECT_EQ(importsFinished, 0);

    // The link and the core still work.
    ASSERT_TRUE(commands.requestPresetList(0));
    EXPECT_TRUE(waitFor([&] { return listsRead == 2; }));
}

TEST_P(MemoryE2e, RefusedOrDeclinedImportSendsNothing)
{
    connectToSim();
    ASSERT_TRUE(exportTo(QStringLiteral("good")).first.ok());
    QByteArray damaged = readWholeFile(path(QStringLiteral("good.ept")));
    damaged[16 + MemoryImage::packetOffset(9) + 1] = 0x21; // signature of packet 9
    {
        QFile f(path(QStringLiteral("damaged.ept")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(damaged), damaged.size());
    }

    struct Case {
        const char *what;
        bool answerYes;
        const char *file;
    };
    const Case cases[] = {
        {"corrupted frame header", true, "damaged.ept"},
        {"declined", false, "good.ept"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        prompts.answerYes = c.answerYes;
        prompts.openAnswer = path(QString::fromLatin1(c.file));
        window.events.clear();
        EXPECT_FALSE(transfer.memImptBtnClick());
        EXPECT_EQ(window.events, (Events{{LN_TRANSFER_STATE, 1}}));
    }
    EXPECT_TRUE(prompts.messages().value(0).contains(QStringLiteral("packet 9")));

    // A round trip through the device proves anything sent before it has arrived.
    ASSERT_TRUE(commands.requestPresetList(0));
    ASSERT_TRUE(waitFor([&] { return listsRead == 2; }));
    EXPECT_TRUE(received(CMD_MEMORY_IMPORT).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Links, MemoryE2e,
                         ::testing::Values(PresetLinkParam{LinkCore::TcpLink, 0},
                                           PresetLinkParam{LinkCore::SerialLink, 0}),
                         presetLinkName);

} // namespace
} // namespace q48::test

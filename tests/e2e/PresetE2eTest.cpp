// Preset lists, reading presets into files, writing them back, naming and deleting, against q48-sim.

#include "PresetE2eFixture.h"

#include "presets/PresetKinds.h"

namespace q48::test {
namespace {

using PresetE2e = PresetE2eFixture;

QByteArray slotBytes(const TData &data, int kind, int slot)
{
    return QByteArray(data.presetBlock(kind).data() + slot * 16, 16);
}

TEST_P(PresetE2e, NameListsAreReadOnceWhenTheLinkComesUp)
{
    connectToSim();
    QList<int> asked;
    for (const QJsonObject &f : received(CMD_PRESET_LIST))
        asked << f.value(QStringLiteral("subCode")).toInt();
    EXPECT_EQ(asked, (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(window.events, (QList<std::pair<int, int>>{{LN_PRESET_LISTS_READ, 0}}));

    // The device's names as it sent them: zero-padded, blank-padded, full width and empty slots.
    EXPECT_EQ(slotBytes(data, kKindDspChannel, 0), QByteArray("DspCh 01") + QByteArray(8, '\0'));
    EXPECT_EQ(slotBytes(data, kKindDspChannel, 6), QByteArray("------empty-----"));
    EXPECT_EQ(slotBytes(data, kKindGeq, 1), QByteArray("Geq 02          "));
    EXPECT_EQ(slotBytes(data, kKindDfx, 103), QByteArray("Dfx 104         "));
    EXPECT_EQ(slotBytes(data, kKindScene, 10), QByteArray("Scene 11 full-wi"));

    const QJsonObject summary = stopSim();
    EXPECT_EQ(summary[QStringLiteral("presets")][QStringLiteral("listsSent")].toInt(), 4);
    EXPECT_TRUE(summary[QStringLiteral("errors")].toArray().isEmpty()) << sim->output().toStdString();
}

TEST_P(PresetE2e, EveryKindIsReadIntoAFileAndWrittenBack)
{
    connectToSim();
    const int channels[kPresetKindCount] = {29, 8, 1, 0};
    QStringList readSha, writtenSha;
    for (int kind = 0; kind < kPresetKindCount; ++kind) {
        SCOPED_TRACE(kindLabel(kind).toStdString());
        const int length = presetFrameLength(kind, GetParam().utype);

        prompts.saveAnswer = path(QStringLiteral("kind%1").arg(kind));
        ASSERT_TRUE(commands.requestPreset(kind, 2));
        ASSERT_TRUE(waitFor([&] { return presetsSaved.size() == kind + 1; }));
        ASSERT_TRUE(presetsSaved.last().ok()) << presetsSaved.last().error.toStdString();
        const QString file = path(QStringLiteral("kind%1").arg(kind) + kindExtension(kind));
        const QByteArray content = readWholeFile(file);
        ASSERT_EQ(content.size(), 16 + length);
        EXPECT_EQ(content.left(16), QByteArray("**PresetExport**"));
        const QByteArray frame = content.mid(16);
        EXPECT_EQ(quint8(frame[8]), CMD_READ_PRESET);
        EXPECT_EQ(quint8(frame[10]), 3); // slot + 1
        readSha << sha256Hex(frame);

        prompts.openAnswer = file;
        ASSERT_TRUE(presetFiles.readPresetFile(kind).ok());
        ASSERT_TRUE(commands.sendPresetData(kind, channels[kind]));
        ASSERT_TRUE(waitFor([&] { return presetsWritten.size() == kind + 1; }));
        EXPECT_EQ(presetsWritten.last(), kind);
        QByteArray written = frame;
        written[8] = char(CMD_WRITE_PRESET);
        if (kind != kKindScene)
            written[10] = char(channels[kind] + 1);
        writtenSha << sha256Hex(written);
    }
    EXPECT_EQ(window.count(LN_PRESET_READ), 4);
    EXPECT_EQ(window.count(LN_PRESET_WRITTEN), 4);

    const QJsonObject summary = stopSim();
    const QJsonObject presets = summary[QStringLiteral("presets")].toObject();
    const QJsonArray read = presets[QStringLiteral("read")].toArray();
    const QJsonArray written = presets[QStringLiteral("written")].toArray();
    ASSERT_EQ(read.size(), 4);
    ASSERT_EQ(written.size(), 4);
    for (int kind = 0; kind < kPresetKindCount; ++kind) {
        EXPECT_EQ(read[kind][QStringLiteral("sha256")].toString(), readSha[kind]) << kind;
        EXPECT_EQ(written[kind][QStringLiteral("subCode")].toInt(), kind + 1);
        EXPECT_EQ(written[kind][QStringLiteral("sha256")].toString(), writtenSha[kind]) << kind;
    }
    EXPECT_TRUE(summary[QStringLiteral("errors")].toArray().isEmpty()) << sim->output().toStdString();
}

TEST_P(PresetE2e, ANamedSaveAndADeleteShowInTheNextLists)
{
    connectToSim();
    data.setPresetName(kKindDspChannel, 3, QStringLiteral("Lead Vox"));
    ASSERT_TRUE(commands.sendPresetName(kKindDspChannel, 3, 2));
    ASSERT_TRUE(commands.sendDeletePreset(kKindScene, 5));
    data.setPresetName(kKindScene, 5, QStringLiteral("stale"));
    ASSERT_TRUE(commands.requestPresetList(0));
    ASSERT_TRUE(waitFor([&] { return listsRead == 2; }));

    EXPECT_EQ(slotBytes(data, kKindDspChannel, 3), QByteArray("Lead Vox        "));
    EXPECT_EQ(slotBytes(data, kKindScene, 5), QByteArray("------empty-----"));

    const QJsonObject presets = stopSim()[QStringLiteral("presets")].toObject();
    const QJsonArray saved = presets[QStringLiteral("saved")].toArray();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0][QStringLiteral("subCode")].toInt(), 1);
    EXPECT_EQ(saved[0][QStringLiteral("channel")].toInt(), 3);
    EXPECT_EQ(saved[0][QStringLiteral("slot")].toInt(), 3);
    const QJsonArray deleted = presets[QStringLiteral("deleted")].toArray();
    ASSERT_EQ(deleted.size(), 1);
    EXPECT_EQ(deleted[0][QStringLiteral("subCode")].toInt(), 4);
    EXPECT_EQ(deleted[0][QStringLiteral("slot")].toInt(), 5);
}

INSTANTIATE_TEST_SUITE_P(Links, PresetE2e,
                         ::testing::Values(PresetLinkParam{LinkCore::TcpLink, 0},
                                           PresetLinkParam{LinkCore::SerialLink, 0},
                                           PresetLinkParam{LinkCore::TcpLink, 1},
                                           PresetLinkParam{LinkCore::SerialLink, 1}),
                         presetLinkName);

} // namespace
} // namespace q48::test

#include "presets/PresetCommands.h"

#include "PresetCommandsFixture.h"
#include "link/CommandCodes.h"
#include "link/Dispatcher.h"
#include "presets/PresetFiles.h"
#include "presets/PresetKinds.h"
#include "presets/TData.h"

#include <cstring>

using namespace q48;
using namespace q48::test;

namespace {

// A frame as the device sends it: envelope, `command`, `subCode`, then `size` - 11 data bytes.
QByteArray deviceFrame(int command, int subCode, int size, char fill)
{
    QByteArray frame(size, fill);
    const char head[] = {0x01, 0x20, 0x03, char(size & 0xFF), 0x00,
                         0x01, 0x00, 0x01, char(command),     char(subCode)};
    std::memcpy(frame.data(), head, sizeof head);
    frame[size - 1] = 0x40;
    return frame;
}

QByteArray nameList(int subCode, char fill)
{
    return deviceFrame(CMD_PRESET_LIST, subCode, 11 + 16 * slotCount(subCode - 1), fill);
}

class PresetCommandsTest : public CommandFixture {
protected:
    TData data;
    PresetFiles files{prompts, notifier};
    PresetCommands commands{sink, notifier, data, files};
    Dispatcher dispatcher;

    void SetUp() override { commands.registerHandlers(dispatcher); }

    // Makes `files` hold the preset file of `kind` whose frame is `frame`.
    void readPresetFileOf(int kind, const QByteArray &frame)
    {
        const QString file = path(QStringLiteral("p") + kindExtension(kind));
        writeFile(file, QByteArray(kPresetFileHeader, 16) + frame);
        prompts.openAnswer = file;
        ASSERT_TRUE(files.readPresetFile(kind).ok());
    }
};

TEST_F(PresetCommandsTest, SendersBuildTheDeviceFrames)
{
    data.setPresetName(kKindDspChannel, 0, QStringLiteral("Vocals"));
    struct Case {
        const char *what;
        std::function<bool()> send;
        QByteArray expected;
    };
    const Case cases[] = {
        {"save Vocals, DSP slot 0, CH03", [&] { return commands.sendPresetName(0, 0, 2); },
         bytes({0x01, 0x20, 0x03, 0x1D, 0x00, 0x01, 0x00, 0x01, 0x16, 0x01, 0x03, 0x00}) +
             QByteArray("Vocals          ") + bytes({0x40})},
        {"save to a slot the kind lacks", [&] { return commands.sendPresetName(3, 24, 0); },
         bytes({0x01, 0x20, 0x03, 0x1D, 0x00, 0x01, 0x00, 0x01, 0x16, 0x04, 0x01, 0x18}) +
             QByteArray(16, '\0') + bytes({0x40})},
        {"delete Scene slot 5", [&] { return commands.sendDeletePreset(3, 5); },
         bytes({0x01, 0x20, 0x03, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x17, 0x04, 0x05, 0x40})},
        {"read Scene slot 5", [&] { return commands.requestPreset(3, 5); },
         bytes({0x01, 0x20, 0x03, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x32, 0x04, 0x06, 0x40})},
        {"GEQ list", [&] { return commands.requestPresetList(1); },
         bytes({0x01, 0x20, 0x03, 0x0B, 0x00, 0x01, 0x00, 0x01, 0x18, 0x02, 0x40})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sink.sent.clear();
        EXPECT_TRUE(c.send());
        ASSERT_EQ(sink.sent.size(), 1);
        EXPECT_EQ(sink.sent.first(), c.expected);
    }
}

TEST_F(PresetCommandsTest, NothingIsSentWithoutAConnection)
{
    sink.connected = false;
    data.setPresetName(kKindDspChannel, 0, QStringLiteral("Vocals"));
    EXPECT_FALSE(commands.sendPresetName(0, 0, 2));
    EXPECT_FALSE(commands.sendDeletePreset(3, 5));
    EXPECT_FALSE(commands.requestPreset(3, 5));
    EXPECT_FALSE(commands.requestPresetList(0));
    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_EQ(QByteArray(data.presetBlock(0).data(), 16), QByteArray("Vocals          "));
}

TEST_F(PresetCommandsTest, WriteSendsTheStoredFrameAsAWrite)
{
    struct Case {
        int kind, utype, channel, size;
        int expectedByte10;
    };
    const Case cases[] = {
        {kKindDfx, 0, 1, 25, 2},       {kKindGeq, 0, 8, 44, 9},       {kKindDspChannel, 0, 29, 69, 30},
        {kKindScene, 0, 5, 3938, 'd'}, {kKindScene, 1, 5, 3939, 'd'},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " utype " << c.utype);
        files.setUtype(c.utype);
        commands.setUtype(c.utype);
        const QByteArray stored = deviceFrame(CMD_READ_PRESET, c.kind + 1, c.size, 'd');
        readPresetFileOf(c.kind, stored);
        sink.sent.clear();

        EXPECT_TRUE(commands.sendPresetData(c.kind, c.channel));
        ASSERT_EQ(sink.sent.size(), 1);
        const QByteArray &frame = sink.sent.first();
        ASSERT_EQ(frame.size(), c.size);
        EXPECT_EQ(quint8(frame[8]), 0x23);
        EXPECT_EQ(quint8(frame[10]), c.expectedByte10);
        QByteArray rest = frame;
        rest[8] = stored[8];
        rest[10] = stored[10];
        EXPECT_EQ(rest, stored);
    }
}

TEST_F(PresetCommandsTest, WriteRefusesWhenNoPresetOfTheKindWasRead)
{
    EXPECT_FALSE(commands.sendPresetData(kKindDfx, 0));
    readPresetFileOf(kKindGeq, deviceFrame(CMD_READ_PRESET, 2, 44, 'g'));
    EXPECT_FALSE(commands.sendPresetData(kKindDfx, 0));
    EXPECT_FALSE(commands.sendPresetData(kKindDspChannel, 0));
    // A scene read for the other device variant would go out cut or zero-padded.
    files.setUtype(0);
    readPresetFileOf(kKindScene, deviceFrame(CMD_READ_PRESET, 4, 3938, 's'));
    commands.setUtype(1);
    EXPECT_FALSE(commands.sendPresetData(kKindScene, 0));
    EXPECT_TRUE(sink.sent.isEmpty());
}

TEST_F(PresetCommandsTest, ListRepliesFillTheirBlockAndAskForTheNextKind)
{
    int listsRead = 0;
    QObject::connect(&commands, &PresetCommands::listsRead, [&] { ++listsRead; });
    const TData before;

    dispatcher.dispatchFrame(nameList(2, 'g'));
    EXPECT_EQ(QByteArray(data.presetBlock(kKindGeq).data(), 48 * 16), QByteArray(48 * 16, 'g'));
    for (int kind : {kKindDspChannel, kKindDfx, kKindScene}) {
        const auto block = data.presetBlock(kind);
        EXPECT_TRUE(std::equal(block.begin(), block.end(), before.presetBlock(kind).begin())) << kind;
    }
    EXPECT_EQ(sink.sent, QList<QByteArray>{PresetCommands::presetListFrame(2)});
    EXPECT_TRUE(window.events.isEmpty());

    sink.sent.clear();
    dispatcher.dispatchFrame(nameList(4, 's'));
    EXPECT_EQ(QByteArray(data.presetBlock(kKindScene).data(), 24 * 16), QByteArray(24 * 16, 's'));
    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_EQ(window.events, (QList<std::pair<int, int>>{{LN_PRESET_LISTS_READ, 0}}));
    EXPECT_EQ(listsRead, 1);
}

TEST_F(PresetCommandsTest, ListRepliesTooShortOrOfNoKindChangeNothing)
{
    const TData before;
    const QByteArray frames[] = {
        nameList(3, 'x').left(10 + 16 * 104 - 1), // one name byte short
        deviceFrame(CMD_PRESET_LIST, 1, 11, 'x'), // accepted by its length byte
        deviceFrame(CMD_PRESET_LIST, 5, 779, 'x'),
        deviceFrame(CMD_PRESET_LIST, 0, 779, 'x'),
    };
    for (const QByteArray &frame : frames)
        commands.handlePresetList(frame);
    EXPECT_EQ(data.presetNames, before.presetNames);
    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_TRUE(window.events.isEmpty());
    // The list bytes end at byte 10 + 16 x slots; the end mark is not needed.
    commands.handlePresetList(nameList(3, 'x').left(10 + 16 * 104));
    EXPECT_EQ(QByteArray(data.presetBlock(kKindDfx).data(), 104 * 16), QByteArray(104 * 16, 'x'));
}

TEST_F(PresetCommandsTest, PresetDataIsOfferedForSavingThenReported)
{
    QList<FileResult> saved;
    QObject::connect(&commands, &PresetCommands::presetFileSaved, [&](const FileResult &r) { saved << r; });
    prompts.saveAnswer = path(QStringLiteral("mix1"));
    const QByteArray frame = deviceFrame(CMD_READ_PRESET, 1, 69, 'p');

    dispatcher.dispatchFrame(frame);
    EXPECT_EQ(readFile(path(QStringLiteral("mix1.sDsp"))), QByteArray(kPresetFileHeader, 16) + frame);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(saved.first().ok());
    EXPECT_EQ(window.events, (QList<std::pair<int, int>>{{LN_PRESET_READ, 0}}));

    // A short frame claiming the Scene kind is refused by the file save, and still reported.
    window.events.clear();
    dispatcher.dispatchFrame(deviceFrame(CMD_READ_PRESET, 4, 69, 'p'));
    EXPECT_EQ(prompts.messages().value(0), QStringLiteral("Not right preset file to exported~!"));
    EXPECT_EQ(saved.last().status, FileResult::Rejected);
    EXPECT_EQ(window.events, (QList<std::pair<int, int>>{{LN_PRESET_READ, 0}}));
}

TEST_F(PresetCommandsTest, WriteConfirmationNamesTheKind)
{
    QList<int> written;
    QObject::connect(&commands, &PresetCommands::presetWritten, [&](int kind) { written << kind; });
    dispatcher.dispatchFrame(bytes({0x01, 0x20, 0x03, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x33, 0x03, 0x00, 0x40}));
    EXPECT_EQ(window.events, (QList<std::pair<int, int>>{{LN_PRESET_WRITTEN, 2}}));
    EXPECT_EQ(written, QList<int>{2});
    EXPECT_TRUE(sink.sent.isEmpty());
}

} // namespace

#include "presets/MemoryTransfer.h"

#include "PresetCommandsFixture.h"
#include "link/CommandCodes.h"
#include "link/Dispatcher.h"
#include "presets/MemoryFiles.h"

#include <cstring>

using namespace q48;
using namespace q48::test;

namespace {

using Events = QList<std::pair<int, int>>;

// Export packet `packet` as the device sends it, its data marked with `fill`.
QByteArray exportFrame(int packet, char fill)
{
    const MemoryImage::Area *area = MemoryImage::areaOfPacket(packet);
    QByteArray frame(area->frameSize, fill);
    const char head[] = {0x01, 0x20, 0x03, char(area->frameSize & 0xFF), 0x00,        0x01,
                         0x00, 0x01, 0x2F, char(area->subCode),          char(packet)};
    std::memcpy(frame.data(), head, sizeof head);
    frame[frame.size() - 1] = 0x40;
    return frame;
}

QByteArray importAck(int subCode, int packet)
{
    return bytes({0x01, 0x20, 0x03, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x30, subCode, packet, 0x40});
}

QByteArray memoryFile(char fill)
{
    QByteArray file(kMemoryFileHeader, 16);
    for (int p = 1; p <= 30; ++p)
        file += exportFrame(p, fill);
    return file;
}

class MemoryTransferTest : public CommandFixture {
protected:
    MemoryImage image;
    MemoryFiles files{prompts};
    MemoryTransfer transfer{sink, notifier, prompts, image, files};
    Dispatcher dispatcher;
    QList<std::pair<FileResult, QList<int>>> finished;

    void SetUp() override
    {
        transfer.registerHandlers(dispatcher);
        QObject::connect(&transfer, &MemoryTransfer::exportFinished,
                         [this](const FileResult &r, const QList<int> &missing) {
                             finished.append({r, missing});
                         });
    }

    // Streams packets 1..30 of an export, leaving out `skip`.
    void streamExport(char fill, const QList<int> &skip = {})
    {
        for (int p = 1; p <= 30; ++p)
            if (!skip.contains(p))
                dispatcher.dispatchFrame(exportFrame(p, fill));
    }

    // Starts an import of a file made of export frames filled with `fill`.
    bool startImport(char fill)
    {
        const QString file = path(QStringLiteral("in.ept"));
        writeFile(file, memoryFile(fill));
        prompts.openAnswer = file;
        return transfer.memImptBtnClick();
    }

    // The number of each import packet sent, checking that each is the stored frame with byte 8 = 49.
    QList<int> importPacketsSent() const
    {
        QList<int> packets;
        for (const QByteArray &frame : sink.sent) {
            const int p = quint8(frame[10]);
            QByteArray expected = image.packetFrame(p);
            expected[8] = char(CMD_MEMORY_IMPORT);
            EXPECT_EQ(frame, expected) << "packet " << p;
            packets << p;
        }
        return packets;
    }
};

TEST_F(MemoryTransferTest, ExportStartsWithTheRequestOrSaysThereIsNoDevice)
{
    EXPECT_TRUE(transfer.memExptBtnClick());
    EXPECT_EQ(sink.sent,
              QList<QByteArray>{bytes({0x01, 0x20, 0x03, 0x0B, 0x00, 0x01, 0x00, 0x01, 0x2F, 0x00, 0x40})});
    EXPECT_EQ(window.events, (Events{{LN_TRANSFER_STATE, 0}}));
    EXPECT_TRUE(prompts.asked.isEmpty());

    sink.sent.clear();
    window.events.clear();
    sink.connected = false;
    EXPECT_FALSE(transfer.memExptBtnClick());
    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("No connected to device")});
    EXPECT_EQ(window.events, (Events{{LN_TRANSFER_STATE, 1}}));
}

TEST_F(MemoryTransferTest, CompleteExportIsSavedAsTheThirtyFrames)
{
    prompts.saveAnswer = path(QStringLiteral("all"));
    transfer.memExptBtnClick();
    streamExport('a');

    EXPECT_EQ(readFile(path(QStringLiteral("all.ept"))), memoryFile('a'));
    Events expected{{LN_TRANSFER_STATE, 0}};
    for (int p = 1; p <= 30; ++p)
        expected.append({LN_EXPORT_PACKET, p});
    expected.append({LN_TRANSFER_STATE, 1});
    EXPECT_EQ(window.events, expected);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished[0].first.ok());
    EXPECT_TRUE(finished[0].second.isEmpty());
    EXPECT_TRUE(sink.sent.size() == 1); // the request; nothing goes back during an export
}

TEST_F(MemoryTransferTest, PacketsMatchingNoAreaAreReportedButNotStored)
{
    QByteArray wrongSize = exportFrame(7, 'w');
    wrongSize.chop(1);
    QByteArray sceneAs25 = exportFrame(7, 'w');
    sceneAs25[10] = 25;
    QByteArray dspAs24 = exportFrame(25, 'w');
    dspAs24[10] = 24;
    for (const QByteArray &frame : {wrongSize, sceneAs25, dspAs24})
        dispatcher.dispatchFrame(frame);
    EXPECT_EQ(image.bytes(), QByteArray(MemoryImage::kSize, '\0'));
    EXPECT_EQ(window.events, (Events{{LN_EXPORT_PACKET, 7}, {LN_EXPORT_PACKET, 25}, {LN_EXPORT_PACKET, 24}}));
    EXPECT_EQ(transfer.missingExportPackets().size(), 30);
}

TEST_F(MemoryTransferTest, IncompleteExportIsNotSavedEvenOverAnEarlierOne)
{
    prompts.saveAnswer = path(QStringLiteral("first"));
    transfer.memExptBtnClick();
    streamExport('a');
    ASSERT_EQ(finished.size(), 1);

    // The second export loses packets 7 and 12: their slots still hold the first export's.
    prompts.asked.clear();
    window.events.clear();
    prompts.saveAnswer = path(QStringLiteral("second"));
    transfer.memExptBtnClick();
    streamExport('b', {7, 12});

    EXPECT_EQ(prompts.messages(),
              QStringList{QStringLiteral("Memory export incomplete: packets 7, 12 did not "
                                         "arrive. Nothing was saved; please export again.")});
    for (const auto &asked : prompts.asked)
        EXPECT_NE(asked.kind, QStringLiteral("save"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("second.ept"))));
    EXPECT_EQ(window.events.last(), std::make_pair(int(LN_TRANSFER_STATE), 1));
    ASSERT_EQ(finished.size(), 2);
    EXPECT_EQ(finished[1].first.status, FileResult::Rejected);
    EXPECT_EQ(finished[1].second, (QList<int>{7, 12}));

    // Each export is judged on its own packets: a whole one after it is saved.
    transfer.memExptBtnClick();
    streamExport('c');
    EXPECT_EQ(readFile(path(QStringLiteral("second.ept"))), memoryFile('c'));

    // So is a stream the device sends unasked, once the previous export ended.
    prompts.asked.clear();
    streamExport('d', {1});
    EXPECT_EQ(prompts.messages().value(0).left(45),
              QStringLiteral("Memory export incomplete: packet 1 did not ar"));
}

TEST_F(MemoryTransferTest, ImportSendsNothingUnlessAFileWasReadWhole)
{
    QByteArray badHeader = memoryFile('a');
    badHeader[16 + 5 * 4012] = 0x02; // signature of packet 6
    const QString badFile = path(QStringLiteral("bad.ept"));
    writeFile(badFile, badHeader);

    struct Case {
        const char *what;
        bool connected, answerYes;
        QString file;
        bool readAsked;
        int messages;
    };
    const Case cases[] = {
        {"no connection", false, true, badFile, false, 1},
        {"declined", true, false, badFile, true, 0},
        {"cancelled", true, true, QString(), true, 0},
        {"corrupted frame header", true, true, badFile, true, 1},
        {"missing file", true, true, path(QStringLiteral("none.ept")), true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sink.connected = c.connected;
        prompts.answerYes = c.answerYes;
        prompts.openAnswer = c.file;
        prompts.asked.clear();
        window.events.clear();

        EXPECT_FALSE(transfer.memImptBtnClick());
        EXPECT_FALSE(transfer.lastFileResult().ok());
        EXPECT_TRUE(sink.sent.isEmpty());
        EXPECT_EQ(window.events, (Events{{LN_TRANSFER_STATE, 1}}));
        EXPECT_EQ(!prompts.asked.isEmpty() && prompts.asked.first().kind == QStringLiteral("yesno"),
                  c.readAsked);
        EXPECT_EQ(prompts.messages().size(), c.messages);
        EXPECT_EQ(image.bytes(), QByteArray(MemoryImage::kSize, '\0'));
    }
}

TEST_F(MemoryTransferTest, ImportIsPacedByTheAcknowledgements)
{
    ASSERT_TRUE(startImport('i'));
    EXPECT_EQ(window.events, (Events{{LN_TRANSFER_STATE, 0}}));
    EXPECT_EQ(importPacketsSent(), QList<int>{1});

    struct Case {
        int subCode, packet;
        int sends; // 0: nothing
    };
    const Case cases[] =
        {
            {4, 1, 2},   {4, 23, 24}, {4, 24, 25}, {1, 25, 26}, {1, 26, 27}, {3, 27, 28},
            {3, 28, 29}, {2, 29, 30}, {1, 27, 0},  {4, 25, 0},  {2, 28, 0},  {4, 0, 0},
            {4, 31, 0},  {9, 9, 0},   {4, 1, 2}, // repeated: the following packet again
        };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.subCode << '/' << c.packet);
        sink.sent.clear();
        window.events.clear();
        dispatcher.dispatchFrame(importAck(c.subCode, c.packet));
        EXPECT_EQ(importPacketsSent(), c.sends ? QList<int>{c.sends} : QList<int>{});
        EXPECT_EQ(window.events, (Events{{LN_IMPORT_PACKET, c.packet}}));
    }
}

TEST_F(MemoryTransferTest, AcknowledgementOfPacketThirtyEndsTheImport)
{
    ASSERT_TRUE(startImport('i'));
    int importsFinished = 0;
    QObject::connect(&transfer, &MemoryTransfer::importFinished, [&] { ++importsFinished; });
    const struct {
        int subCode;
        Events events;
    } cases[] = {
        {5, {{LN_IMPORT_PACKET, 30}, {LN_TRANSFER_STATE, 1}, {LN_TRANSFER_STATE, 1}}},
        {4, {{LN_IMPORT_PACKET, 30}, {LN_TRANSFER_STATE, 1}}},
    };
    for (const auto &c : cases) {
        sink.sent.clear();
        window.events.clear();
        dispatcher.dispatchFrame(importAck(c.subCode, 30));
        EXPECT_EQ(window.events, c.events) << c.subCode;
        EXPECT_TRUE(sink.sent.isEmpty());
    }
    EXPECT_EQ(importsFinished, 2);
}

TEST_F(MemoryTransferTest, AcknowledgementsOutsideAnImportSendNothing)
{
    // An export leaves a whole image behind; the mixer must still not get it unasked.
    prompts.saveAnswer = path(QStringLiteral("x"));
    transfer.memExptBtnClick();
    streamExport('e');
    sink.sent.clear();
    window.events.clear();
    dispatcher.dispatchFrame(importAck(4, 1));
    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_EQ(window.events, (Events{{LN_IMPORT_PACKET, 1}}));

    // Nor after the import has ended.
    ASSERT_TRUE(startImport('i'));
    dispatcher.dispatchFrame(importAck(5, 30));
    sink.sent.clear();
    dispatcher.dispatchFrame(importAck(4, 5));
    EXPECT_TRUE(sink.sent.isEmpty());
}

TEST_F(MemoryTransferTest, WholeImportSendsBackTheFileFrames)
{
    ASSERT_TRUE(startImport('r'));
    for (int p = 1; p < 30; ++p)
        dispatcher.dispatchFrame(importAck(MemoryImage::areaOfPacket(p)->subCode, p));
    const QList<int> sent = importPacketsSent();
    QList<int> all;
    for (int p = 1; p <= 30; ++p)
        all << p;
    EXPECT_EQ(sent, all);
    EXPECT_EQ(image.bytes(), memoryFile('r').mid(16));
}

TEST_F(MemoryTransferTest, ImportLostLinkDuringTheFileDialogGivesTheControlsBack)
{
    // The link drops while the file is being chosen: packet 1 cannot go out.
    struct DroppingPrompts : FakePrompts {
        RecordingSink *sink = nullptr;
        QString openFileName(const QString &filter) override
        {
            sink->connected = false;
            return FakePrompts::openFileName(filter);
        }
    } dropping;
    dropping.sink = &sink;
    MemoryFiles droppingFiles{dropping};
    MemoryTransfer viaDropping{sink, notifier, dropping, image, droppingFiles};
    const QString file = path(QStringLiteral("in.ept"));
    writeFile(file, memoryFile('l'));
    dropping.openAnswer = file;

    EXPECT_FALSE(viaDropping.memImptBtnClick());
    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_EQ(window.events, (Events{{LN_TRANSFER_STATE, 0}, {LN_TRANSFER_STATE, 1}}));
    EXPECT_EQ(dropping.messages(), QStringList{QStringLiteral("No connected to device")});
}

} // namespace

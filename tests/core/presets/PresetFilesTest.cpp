#include "presets/PresetFiles.h"
#include "FileTestSupport.h"
#include "presets/PresetKinds.h"

#include <QFile>

using namespace q48;
using namespace q48::test;

namespace {

// A preset data frame as the device sends it: envelope, sub-code kind + 1, data, end mark.
QByteArray presetFrame(int kind, int length, char fill = 'p')
{
    QByteArray frame(length, fill);
    const char head[] = {0x01, 0x20, 0x03, char(length & 0xFF), 0x00, 0x01, 0x00, 0x01, 0x32, char(kind + 1)};
    std::memcpy(frame.data(), head, sizeof head);
    frame[length - 1] = 0x40;
    return frame;
}

class PresetFilesTest : public FileFixture {
protected:
    PresetFiles files{prompts, notifier};

    // Writes a preset file by hand, header included.
    QString presetFile(const QString &name, const QByteArray &frame,
                       const QByteArray &header = "**PresetExport**")
    {
        writeFile(path(name), header + frame);
        return path(name);
    }
    FileResult read(int kind, const QString &file)
    {
        prompts.openAnswer = file;
        return files.readPresetFile(kind);
    }
};

struct KindCase {
    int kind;
    int utype;
    int frameLength;
    const char *extension;
};

class PresetRoundTrip : public PresetFilesTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(PresetRoundTrip, SavedFileReadsBackAsTheSameFrame)
{
    const KindCase c = GetParam();
    files.setUtype(c.utype);
    const QByteArray frame = presetFrame(c.kind, c.frameLength);
    prompts.saveAnswer = path("mix1");

    const FileResult saved = files.savePresetFile(c.kind, frame);
    ASSERT_EQ(saved.status, FileResult::Done) << saved.error.toStdString();
    EXPECT_EQ(saved.path, path(QStringLiteral("mix1") + c.extension));
    EXPECT_EQ(readFile(saved.path), QByteArray("**PresetExport**") + frame);

    const FileResult read = this->read(c.kind, saved.path);
    ASSERT_EQ(read.status, FileResult::Done) << read.error.toStdString();
    EXPECT_EQ(files.presetFileData(), frame);
    EXPECT_EQ(rejectedEvents(), 0);

    const QString filter = QStringLiteral("PresetExportFile(*%1)|*%1").arg(c.extension);
    ASSERT_EQ(prompts.asked.size(), 4);
    EXPECT_EQ(prompts.asked[0].text, "Preset receive finished,are you sure to save to file ?!");
    EXPECT_EQ(prompts.asked[0].title, "Save Preset to file.");
    EXPECT_EQ(prompts.asked[1].text, filter);
    EXPECT_EQ(prompts.asked[2].text, "are you sure to read preset file to device?");
    EXPECT_EQ(prompts.asked[2].title, "read presets to device");
    EXPECT_EQ(prompts.asked[3].text, filter);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PresetRoundTrip,
                         ::testing::Values(KindCase{0, 0, 69, ".sDsp"}, KindCase{1, 0, 44, ".sGEQ"},
                                           KindCase{2, 0, 25, ".sDFX"}, KindCase{3, 0, 3938, ".sScen"},
                                           KindCase{3, 1, 3939, ".sScen"}));

TEST_F(PresetFilesTest, ExtensionIsAddedOnlyWhenMissing)
{
    const std::pair<const char *, const char *> cases[] = {
        {"a", "a.sDsp"},   {"b.sDsp", "b.sDsp"},      {"c.SDSP", "c.SDSP"},
        {"d  ", "d.sDsp"}, {"e.sGEQ", "e.sGEQ.sDsp"}, {"f.sDsp.bak", "f.sDsp.bak.sDsp"},
    };
    for (const auto &[chosen, expected] : cases) {
        prompts.saveAnswer = dir.path() + '/' + chosen;
        const FileResult r = files.savePresetFile(kKindDspChannel, presetFrame(0, 69));
        EXPECT_EQ(r.path, path(expected)) << chosen;
        EXPECT_TRUE(QFile::exists(path(expected))) << chosen;
    }
}

TEST_F(PresetFilesTest, WrongSizedFrameIsReportedAndNotSaved)
{
    files.setUtype(1);
    const std::pair<int, int> cases[] = {{0, 68}, {0, 70}, {1, 69}, {3, 3938}, {4, 25}, {-1, 69}};
    for (const auto &[kind, length] : cases) {
        prompts.asked.clear();
        const FileResult r = files.savePresetFile(kind, presetFrame(kind, length));
        EXPECT_EQ(r.status, FileResult::Rejected) << kind << ' ' << length;
        EXPECT_EQ(prompts.messages(), QStringList{"Not right preset file to exported~!"});
        EXPECT_EQ(prompts.asked.size(), 1); // no save question
    }
    EXPECT_TRUE(filesInDir().isEmpty());
}

TEST_F(PresetFilesTest, DeclinedOrCancelledSaveWritesNothing)
{
    prompts.answerYes = false;
    prompts.saveAnswer = path("x");
    EXPECT_EQ(files.savePresetFile(0, presetFrame(0, 69)).status, FileResult::Declined);
    prompts.answerYes = true;
    for (const char *answer : {"", "   "}) {
        prompts.saveAnswer = answer;
        EXPECT_EQ(files.savePresetFile(0, presetFrame(0, 69)).status, FileResult::Cancelled);
    }
    EXPECT_TRUE(filesInDir().isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(PresetFilesTest, UncreatableFileIsReportedByName)
{
    writeFile(path("plain"), "x");
    prompts.saveAnswer = path("plain/mix1"); // the parent is a file, even root cannot create it
    const FileResult r = files.savePresetFile(0, presetFrame(0, 69));
    EXPECT_EQ(r.status, FileResult::Failed);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("mix1.sDsp")) << prompts.messages()[0].toStdString();
    EXPECT_EQ(readFile(path("plain")), "x");
}

#ifdef Q_OS_UNIX
TEST_F(PresetFilesTest, FailedWriteKeepsThePreviousFile)
{
    const QByteArray old = QByteArray("**PresetExport**") + presetFrame(3, 3938, 'o');
    writeFile(path("live.sScen"), old);
    prompts.saveAnswer = path("live.sScen");
    FileResult r;
    {
        const FileSizeLimit diskFull(1000);
        r = files.savePresetFile(kKindScene, presetFrame(3, 3938, 'n'));
    }
    EXPECT_EQ(r.status, FileResult::Failed);
    EXPECT_EQ(prompts.messages().size(), 1);
    EXPECT_EQ(readFile(path("live.sScen")), old);
    EXPECT_EQ(filesInDir(), QStringList{"live.sScen"}); // no temporary left behind
}
#endif

struct SizeCase {
    int kind;
    int utype;
    int fileSize;
};

class PresetFileSize : public PresetFilesTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PresetFileSize, WrongSizeIsRejectedAndKeepsThePresetReadBefore)
{
    const SizeCase c = GetParam();
    files.setUtype(c.utype);
    const QByteArray good = presetFrame(c.kind, presetFrameLength(c.kind, c.utype));
    ASSERT_TRUE(read(c.kind, presetFile("good", good)).ok());

    const QByteArray frame = presetFrame(c.kind, 4000).left(c.fileSize - 16);
    const FileResult r = read(c.kind, presetFile("bad", frame));
    EXPECT_EQ(r.status, FileResult::Rejected);
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_EQ(window.events, QList<int>{LN_PRESET_FILE_REJECTED});
    EXPECT_EQ(files.presetFileData(), good);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PresetFileSize,
                         ::testing::Values(SizeCase{0, 0, 84}, SizeCase{0, 0, 86}, SizeCase{0, 0, 60},
                                           SizeCase{1, 0, 85}, SizeCase{2, 0, 40}, SizeCase{2, 0, 42},
                                           SizeCase{3, 0, 3955}, SizeCase{3, 1, 3954}, SizeCase{3, 1, 3956},
                                           SizeCase{0, 0, 16}));

TEST_F(PresetFilesTest, EmptyFileIsRejected)
{
    writeFile(path("empty.sDsp"), {});
    EXPECT_EQ(read(0, path("empty.sDsp")).status, FileResult::Rejected);
    EXPECT_EQ(rejectedEvents(), 1);
    EXPECT_TRUE(files.presetFileData().isEmpty());
}

TEST_F(PresetFilesTest, FrameMustBeAPresetOfTheChosenKind)
{
    QByteArray noSignature = presetFrame(0, 69);
    noSignature[1] = 0x21;
    QByteArray geqSubCode = presetFrame(0, 69);
    geqSubCode[9] = 2;
    for (const QByteArray &frame : {noSignature, geqSubCode, QByteArray(69, '\0')}) {
        window.events.clear();
        EXPECT_EQ(read(0, presetFile("f.sDsp", frame)).status, FileResult::Rejected);
        EXPECT_EQ(rejectedEvents(), 1);
        EXPECT_TRUE(files.presetFileData().isEmpty());
    }
    // The header text is not needed: only the frame goes to the mixer.
    EXPECT_TRUE(read(0, presetFile("g.sDsp", presetFrame(0, 69), QByteArray(16, '\0'))).ok());
}

TEST_F(PresetFilesTest, UnopenableFilesAreReportedWithoutRejectionEvent)
{
    EXPECT_EQ(read(0, path("missing.sDsp")).status, FileResult::Failed);
    EXPECT_EQ(read(0, dir.path()).status, FileResult::Failed);
    if (!runningAsRoot()) {
        const QString locked = presetFile("locked.sDsp", presetFrame(0, 69));
        QFile::setPermissions(locked, QFileDevice::Permissions());
        EXPECT_EQ(read(0, locked).status, FileResult::Failed);
    }
    const QStringList messages = prompts.messages();
    ASSERT_EQ(messages.size(), runningAsRoot() ? 2 : 3);
    EXPECT_TRUE(messages[0].contains("missing.sDsp"));
    EXPECT_EQ(rejectedEvents(), 0);
}

TEST_F(PresetFilesTest, DeclinedOrCancelledReadChangesNothing)
{
    const QString file = presetFile("f.sDsp", presetFrame(0, 69));
    prompts.answerYes = false;
    EXPECT_EQ(read(0, file).status, FileResult::Declined);
    prompts.answerYes = true;
    EXPECT_EQ(read(0, "  ").status, FileResult::Cancelled);
    EXPECT_TRUE(files.presetFileData().isEmpty());
    EXPECT_TRUE(window.events.isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());
}

} // namespace

#include "presets/MemoryFiles.h"
#include "FileTestSupport.h"
#include "presets/MemoryImage.h"

#include <QFile>

using namespace q48;
using namespace q48::test;

namespace {

// Export packet `packet` as the device sends it, its data marked with `fill`.
QByteArray exportFrame(int packet, char fill = 'm')
{
    const MemoryImage::Area *area = MemoryImage::areaOfPacket(packet);
    QByteArray frame(area->frameSize, fill);
    const char head[] = {0x01, 0x20, 0x03, char(area->frameSize & 0xFF), 0x00,        0x01,
                         0x00, 0x01, 0x2F, char(area->subCode),          char(packet)};
    std::memcpy(frame.data(), head, sizeof head);
    frame[frame.size() - 1] = 0x40;
    return frame;
}

MemoryImage fullImage(char fill = 'm')
{
    MemoryImage image;
    for (int p = 1; p <= 30; ++p)
        image.storeExportPacket(MemoryImage::areaOfPacket(p)->subCode, p, exportFrame(p, char(fill + p % 3)));
    return image;
}

TEST(MemoryImage, StoresEachPacketByTheFirstMatchingArea)
{
    struct Case {
        int subCode, packet, size;
        bool stored;
        int offset;
    };
    const Case cases[] = {
        {4, 1, 4012, true, 0},          {4, 7, 4012, true, 24072},
        {4, 24, 4012, true, 23 * 4012}, {1, 26, 2796, true, 96288 + 2796},
        {3, 27, 2300, true, 101880},    {2, 29, 3276, true, 106480},
        {5, 30, 4012, true, 109756},    {4, 25, 4012, false, 0},
        {1, 24, 2796, false, 0},        {2, 29, 3275, false, 0},
        {4, 30, 4012, false, 0},        {6, 30, 4012, false, 0},
        {4, 0, 4012, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.subCode << '/' << c.packet << '/' << c.size);
        MemoryImage image;
        const QByteArray frame(c.size, 'z');
        EXPECT_EQ(image.storeExportPacket(c.subCode, c.packet, frame), c.stored);
        EXPECT_EQ(image.bytes().size(), MemoryImage::kSize);
        if (c.stored) {
            EXPECT_EQ(image.bytes().mid(c.offset, c.size), frame);
            EXPECT_EQ(image.packetFrame(c.packet), frame);
            EXPECT_EQ(image.bytes().count('z'), c.size);
        } else {
            EXPECT_EQ(image.bytes(), QByteArray(MemoryImage::kSize, '\0'));
        }
    }
    const MemoryImage image;
    EXPECT_TRUE(image.packetFrame(0).isEmpty());
    EXPECT_TRUE(image.packetFrame(31).isEmpty());
}

TEST(MemoryImage, IsTheThirtyFramesInPacketOrder)
{
    const MemoryImage image = fullImage();
    QByteArray joined;
    for (int p = 1; p <= 30; ++p)
        joined += image.packetFrame(p);
    EXPECT_EQ(joined, image.bytes());
}

class MemoryFilesTest : public FileFixture {
protected:
    MemoryFiles files{prompts};

    FileResult read(MemoryImage &image, const QString &file)
    {
        prompts.openAnswer = file;
        return files.readMemoryFile(image);
    }
};

TEST_F(MemoryFilesTest, SavedFileReadsBackIdentically)
{
    const MemoryImage exported = fullImage();
    prompts.saveAnswer = path("all");
    const FileResult saved = files.saveMemoryFile(exported);
    ASSERT_EQ(saved.status, FileResult::Done) << saved.error.toStdString();
    EXPECT_EQ(saved.path, path("all.ept"));
    const QByteArray file = readFile(saved.path);
    EXPECT_EQ(file.size(), 113784);
    EXPECT_EQ(file.left(16), "Q48MemoryExport-");
    EXPECT_EQ(file.mid(16), exported.bytes());

    MemoryImage imported;
    ASSERT_TRUE(read(imported, saved.path).ok());
    EXPECT_EQ(imported.bytes(), exported.bytes());

    ASSERT_EQ(prompts.asked.size(), 4);
    EXPECT_EQ(prompts.asked[0].text, "Memory export receive finished,are you sure to save to file ?!");
    EXPECT_EQ(prompts.asked[0].title, "Save memory to file");
    EXPECT_EQ(prompts.asked[1].text, "MemoryExportFile(*.ept)|*.ept");
    EXPECT_EQ(prompts.asked[2].text, "are you sure to load memory file to device?");
    EXPECT_EQ(prompts.asked[2].title, "load meory to device");
    EXPECT_EQ(prompts.asked[3].text, "MemoryExportFile(*.ept)|*.ept");
}

TEST_F(MemoryFilesTest, ExtensionIsAddedOnlyWhenMissing)
{
    const MemoryImage image = fullImage();
    const std::pair<const char *, const char *> cases[] = {
        {"a", "a.ept"}, {"b.ept", "b.ept"}, {"c.EPT", "c.EPT"}, {"d.ept.old", "d.ept.old.ept"}};
    for (const auto &[chosen, expected] : cases) {
        prompts.saveAnswer = dir.path() + '/' + chosen;
        EXPECT_EQ(files.saveMemoryFile(image).path, path(expected));
        EXPECT_TRUE(QFile::exists(path(expected))) << chosen;
    }
}

TEST_F(MemoryFilesTest, IncompleteExportIsNotSaved)
{
    MemoryImage image = fullImage();
    QByteArray bytes = image.bytes();
    std::memset(bytes.data() + MemoryImage::packetOffset(26), 0, 2796); // packet 26 never came
    image.setBytes(bytes);
    prompts.saveAnswer = path("part");
    const FileResult r = files.saveMemoryFile(image);
    EXPECT_EQ(r.status, FileResult::Rejected);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("packet 26")) << prompts.messages()[0].toStdString();
    EXPECT_TRUE(filesInDir().isEmpty());
}

TEST_F(MemoryFilesTest, UnwritableTargetIsReportedAndKeepsThePreviousFile)
{
    writeFile(path("plain"), "x");
    prompts.saveAnswer = path("plain/all");
    EXPECT_EQ(files.saveMemoryFile(fullImage()).status, FileResult::Failed);
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("all.ept"));

#ifdef Q_OS_UNIX
    const QByteArray old = QByteArray("Q48MemoryExport-") + fullImage('a').bytes();
    writeFile(path("keep.ept"), old);
    prompts.saveAnswer = path("keep.ept");
    {
        const FileSizeLimit diskFull(50000);
        EXPECT_EQ(files.saveMemoryFile(fullImage('b')).status, FileResult::Failed);
    }
    EXPECT_EQ(readFile(path("keep.ept")), old);
    EXPECT_EQ(filesInDir(), QStringList({"keep.ept", "plain"}));
#endif
}

TEST_F(MemoryFilesTest, WrongSizeIsRefusedWithAMessage)
{
    const QByteArray good = QByteArray("Q48MemoryExport-") + fullImage().bytes();
    for (const QByteArray &content : {good.left(113783), good + 'x', QByteArray()}) {
        prompts.asked.clear();
        writeFile(path("f.ept"), content);
        MemoryImage image;
        EXPECT_EQ(read(image, path("f.ept")).status, FileResult::Rejected);
        EXPECT_EQ(prompts.messages().size(), 1);
        EXPECT_EQ(image.bytes(), QByteArray(MemoryImage::kSize, '\0'));
    }
}

TEST_F(MemoryFilesTest, DamagedFrameIsRefusedByPacket)
{
    struct Case {
        int packet;
        int byte; // within the frame
        char value;
    };
    const Case cases[] = {{7, 0, 0x00}, {1, 2, 0x04}, {25, 8, 0x31}, {25, 9, 0x03}, {30, 10, 29}, {29, 9, 5}};
    const QByteArray good = fullImage().bytes();
    for (const Case &c : cases) {
        prompts.asked.clear();
        QByteArray content = good;
        content[MemoryImage::packetOffset(c.packet) + c.byte] = c.value;
        writeFile(path("f.ept"), "Q48MemoryExport-" + content);
        MemoryImage image = fullImage('x');
        const QByteArray before = image.bytes();
        EXPECT_EQ(read(image, path("f.ept")).status, FileResult::Rejected) << c.packet;
        EXPECT_EQ(
            prompts.messages(),
            QStringList{QStringLiteral("The memory file is damaged: packet %1 is not a memory export packet.")
                            .arg(c.packet)});
        EXPECT_EQ(image.bytes(), before);
    }
}

TEST_F(MemoryFilesTest, HeaderTextIsNotRequired)
{
    writeFile(path("f.ept"), QByteArray(16, '?') + fullImage().bytes());
    MemoryImage image;
    EXPECT_TRUE(read(image, path("f.ept")).ok());
    EXPECT_EQ(image.bytes(), fullImage().bytes());
}

TEST_F(MemoryFilesTest, UnreadableFilesAreReported)
{
    MemoryImage image;
    EXPECT_EQ(read(image, path("missing.ept")).status, FileResult::Failed);
    if (!runningAsRoot()) {
        writeFile(path("locked.ept"), "Q48MemoryExport-" + fullImage().bytes());
        QFile::setPermissions(path("locked.ept"), QFileDevice::Permissions());
        EXPECT_EQ(read(image, path("locked.ept")).status, FileResult::Failed);
    }
    EXPECT_EQ(prompts.messages().size(), runningAsRoot() ? 1 : 2);
    EXPECT_EQ(image.bytes(), QByteArray(MemoryImage::kSize, '\0'));

    prompts.asked.clear();
    prompts.answerYes = false;
    EXPECT_EQ(read(image, path("missing.ept")).status, FileResult::Declined);
    prompts.answerYes = true;
    EXPECT_EQ(read(image, "").status, FileResult::Cancelled);
    EXPECT_TRUE(prompts.messages().isEmpty());
}

} // namespace

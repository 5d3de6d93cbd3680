#include "firmware/CArrayExport.h"

#include "FakePrompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace q48;
using namespace q48::test;

namespace {

struct TextCase {
    const char *name;
    QByteArray data;
    QByteArray text;
};

class CArrayTextCase : public ::testing::TestWithParam<TextCase> {};

TEST_P(CArrayTextCase, MatchesByteForByte)
{
    EXPECT_EQ(cArrayText(GetParam().data, QStringLiteral("Trelk_LPC1820_APP")), GetParam().text);
}

QByteArray seventeen()
{
    QByteArray b;
    for (int i = 0; i < 17; ++i)
        b.append(char(i * 16 + 15));
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    CArray, CArrayTextCase,
    ::testing::Values(TextCase{"Empty", {}, "const char Trelk_LPC1820_APP[]={\r\n\r\n};\r\n"},
                      TextCase{"ThreeBytes", QByteArray::fromHex("01abff"),
                               "const char Trelk_LPC1820_APP[]={\r\n\r0x01,0xAB,0xFF,\r\n};\r\n"},
                      TextCase{
                          "SeventeenBytesMakeTwoLines", seventeen(),
                          "const char Trelk_LPC1820_APP[]={\r\n"
                          "\r0x0F,0x1F,0x2F,0x3F,0x4F,0x5F,0x6F,0x7F,0x8F,0x9F,0xAF,0xBF,0xCF,0xDF,0xEF,0xFF,"
                          "\r0x0F,\r\n};\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

class CArrayExportFixture : public ::testing::Test {
protected:
    FakePrompts prompts;
    QTemporaryDir in;
    QTemporaryDir out;

    QString input(const QByteArray &bytes, const QString &name = QStringLiteral("image.bin"))
    {
        const QString path = QDir(in.path()).filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QByteArray output(const char *arrayName) const
    {
        QFile f(QDir(out.path()).filePath(QStringLiteral("f%1.cpp").arg(QLatin1String(arrayName))));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(CArrayExportFixture, WritesTheSourceAndReportsSuccess)
{
    const QString path = input(QByteArray::fromHex("01abff"));
    prompts.openAnswer = QStringLiteral("  ") + path + QStringLiteral(" ");
    const QString cwd = QDir::currentPath();
    EXPECT_EQ(dspSendClick(1, prompts, out.path()), path);
    EXPECT_EQ(prompts.asked.first().text, QStringLiteral("(bin)|*.bin|(sg)|*.sg"));
    EXPECT_EQ(prompts.messages(), QStringList({QStringLiteral("Sucess export files")}));
    EXPECT_EQ(output("Trelk_LPC1763_APP"), "const char Trelk_LPC1763_APP[]={\r\n\r0x01,0xAB,0xFF,\r\n};\r\n");
    EXPECT_EQ(QDir::currentPath(), cwd);
}

TEST_F(CArrayExportFixture, LaterExportHoldsTheWholeOfTheLongerFile)
{
    prompts.openAnswer = input(QByteArray(50, 'a'));
    ASSERT_NE(exportCArray(0, prompts, out.path()), QStringLiteral("0"));
    prompts.openAnswer = input(QByteArray(100, 'b'), QStringLiteral("b.bin"));
    ASSERT_NE(exportCArray(0, prompts, out.path()), QStringLiteral("0"));
    EXPECT_EQ(output("Trelk_LPC1820_APP"),
              cArrayText(QByteArray(100, 'b'), QStringLiteral("Trelk_LPC1820_APP")));
}

TEST_F(CArrayExportFixture, FileOverOneMebibyteIsExportedWhole)
{
    QByteArray big(1024 * 1024 + 1500, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i % 251);
    prompts.openAnswer = input(big);
    QString written;
    ASSERT_EQ(exportCArray(2, prompts, out.path(), &written), prompts.openAnswer);
    const QByteArray text = output("Trelk_DSP1_FIRWARE");
    EXPECT_EQ(written, QDir(out.path()).filePath(QStringLiteral("fTrelk_DSP1_FIRWARE.cpp")));
    // Header, five characters per byte, one CR per line of 16, and the close.
    const qsizetype head = qsizetype(strlen("const char Trelk_DSP1_FIRWARE[]={\r\n"));
    EXPECT_EQ(text.size(), head + big.size() * 5 + (big.size() + 15) / 16 + 6);
    EXPECT_TRUE(text.endsWith(",\r\n};\r\n"));
    EXPECT_TRUE(text == cArrayText(big, QStringLiteral("Trelk_DSP1_FIRWARE")));
}

TEST_F(CArrayExportFixture, NothingExportedIsReportedAsZero)
{
    // Cancelled, or only blanks: nothing written, nothing said.
    for (const QString &answer : {QString(), QStringLiteral("   ")}) {
        prompts.openAnswer = answer;
        EXPECT_EQ(dspSendClick(0, prompts, out.path()), QStringLiteral("0"));
    }
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(QDir(out.path()).isEmpty());

    // A negative selector runs nothing at all.
    const qsizetype asked = prompts.asked.size();
    EXPECT_TRUE(dspSendClick(-1, prompts, out.path()).isNull());
    EXPECT_EQ(prompts.asked.size(), asked);
}

TEST_F(CArrayExportFixture, UnreadableInputAndUnwritableOutputAreNamed)
{
    const QString missing = QDir(in.path()).filePath(QStringLiteral("missing.bin"));
    prompts.openAnswer = missing;
    EXPECT_EQ(dspSendClick(0, prompts, out.path()), QStringLiteral("0"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QDir::toNativeSeparators(missing)));

    prompts.asked.clear();
    prompts.openAnswer = input("abc");
    const QString gone = QDir(out.path()).filePath(QStringLiteral("gone"));
    EXPECT_EQ(dspSendClick(0, prompts, gone), QStringLiteral("0"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(
        QDir::toNativeSeparators(QDir(gone).filePath(QStringLiteral("fTrelk_LPC1820_APP.cpp")))));
}

} // namespace

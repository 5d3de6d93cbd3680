#include "firmware/VersionFile.h"
#include "FakePrompts.h"
#include "firmware/IniFile.h"
#include "presets/TData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace q48;
using namespace q48::test;

namespace {

const QByteArray kDefaultFile = "[ver]\n"
                                "MCU_VER=MCU_Firmware_1_V4.5\n"
                                "KEY_VER=MCU_Firmware_2_V2.8\n"
                                "DSP1_VER=DSP_Firmware_1_V4.0\n"
                                "DSP2_VER=DSP_Firmware_2_V4.0\n"
                                "\n"
                                "[App-config]\n"
                                "Ver=V1.0.1\n"
                                "Name=DigitalMixer Firmware UpdateTool\n"
                                "Url=https://www.tavrine.example\n"
                                "CompName=Tavrine Technical Group Ltd.\n"
                                "Utype=0\n"
                                "Delay=30\n";

class VersionFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString lib = dir.filePath("lib");
    FakePrompts prompts;
    TData data;
    VersionInfo info;

    void writeVerIni(const QByteArray &text)
    {
        QDir().mkpath(lib);
        QFile f(lib + "/Ver.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    bool load() { return loadVersionFile(lib, data, info, &prompts); }
    // Loads an App-config section holding just these lines.
    VersionInfo loadAppConfig(const QByteArray &lines)
    {
        writeVerIni("[App-config]\n" + lines + "\n");
        info = VersionInfo{};
        EXPECT_TRUE(load());
        return info;
    }
};

TEST_F(VersionFileTest, MissingFileIsCreatedWithTheDefaults)
{
    data.mcuVer = "stale";
    ASSERT_TRUE(load()); // the lib folder does not exist yet either
    QFile f(lib + "/Ver.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    EXPECT_EQ(f.readAll(), kDefaultFile);

    EXPECT_EQ(info.caption(), "DigitalMixer Firmware UpdateTool V1.0.1");
    EXPECT_EQ(info.utype, 0);
    EXPECT_EQ(info.rebootDelay, 30);
    EXPECT_EQ(info.compName, "Tavrine Technical Group Ltd.");
    const QStringList texts{data.mcuVer, data.keyVer, data.dsp1Ver, data.dsp2Ver};
    EXPECT_EQ(texts, QStringList({"MCU_Firmware_1_V4.5", "MCU_Firmware_2_V2.8", "DSP_Firmware_1_V4.0",
                                  "DSP_Firmware_2_V4.0"}));
    EXPECT_TRUE(prompts.asked.isEmpty());

    // The next start reads what this one wrote.
    TData again;
    VersionInfo againInfo;
    againInfo.appName.clear();
    ASSERT_TRUE(loadVersionFile(lib, again, againInfo, &prompts));
    EXPECT_EQ(againInfo.caption(), info.caption());
    EXPECT_EQ(againInfo.appUrl, info.appUrl);
    EXPECT_EQ(again.dsp2Ver, data.dsp2Ver);
}

TEST_F(VersionFileTest, DelayHasAFloorAndNonNumbersGiveTheDefault)
{
    const std::pair<const char *, int> cases[] = {{"Delay=5", 28},   {"Delay=28", 28}, {"Delay=100", 100},
                                                  {"Delay=abc", 30}, {"Delay=", 30},   {"Delay=12x", 30},
                                                  {"", 30},          {"Delay=-40", 28}};
    for (const auto &[line, expected] : cases)
        EXPECT_EQ(loadAppConfig(line).rebootDelay, expected) << line;
}

TEST_F(VersionFileTest, UtypeKeepsOnlyItsLowByte)
{
    const std::pair<const char *, int> cases[] = {{"Utype=1", 1},   {"Utype=7", 1}, {"Utype=2", 1},
                                                  {"Utype=0", 0},   {"", 0},        {"Utype=256", 0},
                                                  {"Utype=257", 1}, {"Utype=x", 0}, {"Utype=-1", 1}};
    for (const auto &[line, expected] : cases)
        EXPECT_EQ(loadAppConfig(line).utype, expected) << line;
}

TEST_F(VersionFileTest, ValuesAreReadWholeWhateverTheFileLooksLike)
{
    writeVerIni("\xEF\xBB\xBF; shipped with the tool\r\n"
                "[ver]\r\n"
                "  DSP2_VER =  DSP_Firmware_2_V9.9  \r\n"
                "[App-config]\r\n"
                "Name=Acme, Inc.\r\n"
                "Ver=\r\n"
                "Url=https://acme.example/a=b,c\r\n");
    ASSERT_TRUE(load());
    EXPECT_EQ(data.dsp2Ver, "DSP_Firmware_2_V9.9");
    EXPECT_EQ(data.mcuVer, "MCU_Firmware_1_V4.5");
    EXPECT_EQ(data.keyVer, "MCU_Firmware_2_V2.8");
    EXPECT_EQ(data.dsp1Ver, "DSP_Firmware_1_V4.0");
    EXPECT_EQ(info.appName, "Acme, Inc.");
    EXPECT_EQ(info.caption(), "Acme, Inc. "); // an empty Ver leaves the blank
    EXPECT_EQ(info.appUrl, "https://acme.example/a=b,c");
    EXPECT_EQ(info.compName, "Tavrine Technical Group Ltd.");
    EXPECT_TRUE(prompts.asked.isEmpty());
}

TEST_F(VersionFileTest, UnwritableLibFolderIsReportedAndTheDefaultsUsed)
{
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    lib = dir.filePath("file/lib");
    info.appName = "stale";
    EXPECT_FALSE(load());
    EXPECT_EQ(info.caption(), "DigitalMixer Firmware UpdateTool V1.0.1");
    EXPECT_EQ(data.dsp1Ver, "DSP_Firmware_1_V4.0");
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains("lib")) << prompts.messages()[0].toStdString();

    // Without anyone to tell, the defaults still apply.
    EXPECT_FALSE(loadVersionFile(lib, data, info, nullptr));
}

TEST_F(VersionFileTest, UnreadableFileIsReportedAndTheDefaultsUsed)
{
    QDir().mkpath(lib + "/Ver.ini"); // a folder where the file should be
    info.rebootDelay = 99;
    EXPECT_FALSE(load());
    EXPECT_EQ(info.rebootDelay, 30);
    EXPECT_EQ(prompts.messages().size(), 1);
}

TEST(IniFile, ParsesLeniently)
{
    IniFile ini;
    ini.parse("orphan=1\n"
              "[One]\n"
              "# comment\n"
              "a=b=c\n"
              "A=second\n"
              "noequals\n"
              "=nokey\n"
              "[two]\n"
              "x = 1, 2, 3\n"
              "[ONE]\n"
              "late=yes\n");
    EXPECT_FALSE(ini.contains("", "orphan"));
    EXPECT_EQ(ini.value("one", "a"), "b=c"); // the first occurrence wins
    EXPECT_EQ(ini.value("TWO", "X"), "1, 2, 3");
    EXPECT_EQ(ini.value("One", "late"), "yes");
    EXPECT_EQ(ini.value("One", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.intValue("two", "x", 7), 7);
}

TEST(IniFile, WrittenTextReadsBackIdentically)
{
    IniFile ini;
    ini.setValue("s", "name", "Acme, Inc.; [Ltd]");
    ini.setIntValue("s", "n", -12);
    ini.setValue("t", "empty", "");
    ini.setValue("s", "name", "Acme, Inc.");
    IniFile back;
    back.parse(ini.text());
    EXPECT_EQ(back.value("s", "name"), "Acme, Inc.");
    EXPECT_EQ(back.intValue("s", "n", 0), -12);
    EXPECT_TRUE(back.contains("t", "empty"));
    EXPECT_EQ(back.text(), ini.text());
}

} // namespace

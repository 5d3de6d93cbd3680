// Saves that meet a full disk or a folder nothing can be written to: the user is told which file
// and why, and the file that was there before keeps every byte. The preset and memory files are
// covered beside their code; these are the firmware side's files, written through the core.

#include "FakePrompts.h"
#include "FileFaults.h"
#include "ServiceCore.h"
#include "firmware/CArrayExport.h"
#include "firmware/VersionFile.h"
#include "presets/FileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <tuple>

namespace q48::test {
namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Save {
    const char *name;
    const char *fileName; // what the save writes into the output folder
    // Runs the save; returns what the user was told (or the error handed back).
    std::function<QString(ServiceCore &, FakePrompts &, const QString &folder, const QString &inputDir)> run;
};

QString onlyMessage(const FakePrompts &prompts)
{
    const QStringList messages = prompts.messages();
    return messages.size() == 1 ? messages[0]
                                : QStringLiteral("[%1 messages] ").arg(messages.size()) + messages.join('|');
}

const Save kSaves[] = {
    {"DspImage", "DSP1.bin",
     [](ServiceCore &core, FakePrompts &prompts, const QString &, const QString &) {
         EXPECT_FALSE(core.dsp.saveDspImage(2, QByteArray(4096, 'n')));
         EXPECT_TRUE(core.dsp.dspReady()) << "the read-back button stays usable";
         return onlyMessage(prompts);
     }},
    {"CArray", "fTrelk_DSP1_FIRWARE.cpp",
     [](ServiceCore &, FakePrompts &prompts, const QString &folder, const QString &inputDir) {
         const QString input = QDir(inputDir).filePath(QStringLiteral("dsp1.bin"));
         QFile f(input);
         EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(QByteArray(1000, 'n')) == 1000);
         f.close();
         prompts.openAnswer = input;
         EXPECT_EQ(dspSendClick(2, prompts, folder), QStringLiteral("0")) << "nothing claimed as exported";
         return onlyMessage(prompts);
     }},
    {"VerIni", "Ver.ini",
     [](ServiceCore &, FakePrompts &, const QString &folder, const QString &) {
         QString error;
         EXPECT_FALSE(writeDefaultVersionFile(QDir(folder).filePath(QStringLiteral("Ver.ini")), &error));
         return error;
     }},
};

enum class Fault { DiskFull, FolderIsAFile };

void PrintTo(const Save &save, std::ostream *os)
{
    *os << save.name;
}
void PrintTo(Fault fault, std::ostream *os)
{
    *os << (fault == Fault::DiskFull ? "DiskFull" : "FolderIsAFile");
}

class FileFailure : public ::testing::TestWithParam<std::tuple<Save, Fault>> {
protected:
    QTemporaryDir dir;
    QTemporaryDir inputDir;
    FakePrompts prompts;
};

TEST_P(FileFailure, NamesTheFileAndTheReasonAndKeepsThePreviousBytes)
{
    const auto &[save, fault] = GetParam();
    const bool diskFull = fault == Fault::DiskFull;
#ifndef Q_OS_UNIX
    if (diskFull)
        GTEST_SKIP() << "a full disk is simulated with a file size limit";
#endif
    // Full disk: the save replaces a file in a writable folder. Otherwise the folder is a file.
    const QString folder = diskFull ? dir.path() : dir.filePath(QStringLiteral("plain"));
    const QString target = QDir(folder).filePath(QString::fromLatin1(save.fileName));
    const QString previous = diskFull ? target : folder;
    if (diskFull) {
        QFile f(previous);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(QByteArray(3000, 'o')), 3000);
    } else {
        ASSERT_TRUE(blockFolder(previous));
    }
    const QByteArray before = readFile(previous);

    ServiceCore::Options options;
    options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
    options.endpoints.serialPorts = QStringList();
    options.libDir = folder;
    options.outputDir = folder;
    ServiceCore core(prompts, options);

    QString told;
    {
#ifdef Q_OS_UNIX
        std::optional<DiskFull> limit;
        if (diskFull)
            limit.emplace(64);
#endif
        told = save.run(core, prompts, folder, inputDir.path());
    }

    EXPECT_TRUE(told.contains(FileAccess::displayPath(target))) << told.toStdString();
    const QString reason = QString::fromLocal8Bit(std::strerror(diskFull ? EFBIG : ENOTDIR));
    EXPECT_TRUE(told.contains(reason)) << told.toStdString() << " lacks the reason: " << reason.toStdString();
    EXPECT_EQ(readFile(previous), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(previous).fileName()})
        << "no temporary file left behind";
}

INSTANTIATE_TEST_SUITE_P(Saves, FileFailure,
                         ::testing::Combine(::testing::ValuesIn(kSaves),
                                            ::testing::Values(Fault::DiskFull, Fault::FolderIsAFile)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Fault::DiskFull ? "_DiskFull"
                                                                                : "_FolderIsAFile");
                         });

} // namespace
} // namespace q48::test

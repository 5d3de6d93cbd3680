#pragma once

// The tool's preset and memory core against a q48-sim of its own, over loopback TCP or the
// simulator's pseudo-terminal serial link.

#include "FakePrompts.h"
#include "SimProcess.h"
#include "link/CommandCodes.h"
#include "link/LinkCore.h"
#include "link/WindowRegistry.h"
#include "presets/MemoryFiles.h"
#include "presets/MemoryImage.h"
#include "presets/MemoryTransfer.h"
#include "presets/PresetCommands.h"
#include "presets/PresetFiles.h"
#include "presets/TData.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <utility>

namespace q48::test {

struct PresetLinkParam {
    int link;  // LinkCore::TcpLink or LinkCore::SerialLink
    int utype; // device variant the simulator plays and the tool is set to
};

inline void PrintTo(const PresetLinkParam &p, std::ostream *os)
{
    *os << (p.link == LinkCore::TcpLink ? "tcp" : "serial") << "/utype" << p.utype;
}

inline std::string presetLinkName(const ::testing::TestParamInfo<PresetLinkParam> &info)
{
    return std::string(info.param.link == LinkCore::TcpLink ? "Tcp" : "Serial") + "Utype" +
           std::to_string(info.param.utype);
}

// The preset manager window as the core sees it: (event, wParam) pairs in order.
class PresetWindowProbe : public NotifyTarget {
public:
    QList<std::pair<int, int>> events;
    long handleNotify(int, qintptr wParam, qintptr lParam) override
    {
        events.append({int(lParam), int(wParam)});
        return 0;
    }
    int count(int event) const
    {
        int n = 0;
        for (const auto &e : events)
            n += e.first == event;
        return n;
    }
};

inline QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

inline QByteArray readWholeFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Pumps events until `done` or the deadline; true when done.
inline bool waitFor(const std::function<bool()> &done, int timeoutMs = 10000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

class PresetE2eFixture : public ::testing::TestWithParam<PresetLinkParam> {
protected:
    std::unique_ptr<SimProcess> sim;
    QTemporaryDir dir;
    FakePrompts prompts;
    LinkCore core{prompts};
    TData data;
    PresetFiles presetFiles{prompts, core.notifier()};
    MemoryImage memoryImage;
    MemoryFiles memoryFiles{prompts};
    PresetCommands commands{core, core.notifier(), data, presetFiles};
    MemoryTransfer transfer{core, core.notifier(), prompts, memoryImage, memoryFiles};
    PresetWindowProbe window;
    WindowRegistration registration{core.windows(), kPresetWindowClass, &window};

    // What the core reported, for the waits.
    int listsRead = 0;
    QList<FileResult> presetsSaved;
    QList<int> presetsWritten;
    QList<std::pair<FileResult, QList<int>>> exports;
    int importsFinished = 0;

    void SetUp() override
    {
        commands.registerHandlers(core.dispatcher());
        transfer.registerHandlers(core.dispatcher());
        QObject::connect(&commands, &PresetCommands::listsRead, [this] { ++listsRead; });
        QObject::connect(&commands, &PresetCommands::presetFileSaved,
                         [this](const FileResult &r) { presetsSaved << r; });
        QObject::connect(&commands, &PresetCommands::presetWritten,
                         [this](int kind) { presetsWritten << kind; });
        QObject::connect(&transfer, &MemoryTransfer::exportFinished,
                         [this](const FileResult &r, const QList<int> &missing) {
                             exports.append({r, missing});
                         });
        QObject::connect(&transfer, &MemoryTransfer::importFinished, [this] { ++importsFinished; });
        // As the program does: a link that comes up starts reading the four name lists.
        QObject::connect(&core, &LinkCore::linkUp, [this] { commands.requestPresetList(0); });
    }

    void TearDown() override
    {
        core.releaseLink();
        if (sim)
            sim->stop();
    }

    // Starts the simulator with `extraArgs`, opens the link of the test's parameter and waits for
    // the name lists that its coming up asks for.
    void connectToSim(const QStringList &extraArgs = {})
    {
        const PresetLinkParam p = GetParam();
        listsRead = 0;
        sim = std::make_unique<SimProcess>(
            QStringList{QStringLiteral("--no-udp"), QStringLiteral("--utype"), QString::number(p.utype)} +
            extraArgs);
        if (p.link == LinkCore::SerialLink)
            sim->enableSerial();
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
        core.setUtype(p.utype);
        presetFiles.setUtype(p.utype);
        commands.setUtype(p.utype);
        const QString target = p.link == LinkCore::TcpLink
                                   ? QStringLiteral("127.0.0.1:%1").arg(sim->tcpPort())
                                   : sim->serialPath();
        ASSERT_TRUE(core.openLink(p.link, target));
        ASSERT_TRUE(waitFor([this] { return listsRead > 0; })) << sim->output().toStdString();
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    // Stops the simulator and returns the summary it wrote on the way out.
    QJsonObject stopSim()
    {
        core.releaseLink();
        sim->stop();
        return sim->summary();
    }

    // The frames the simulator received with this command.
    QList<QJsonObject> received(int command) const
    {
        QList<QJsonObject> out;
        for (const QJsonObject &f : sim->recordedFrames())
            if (f.value(QStringLiteral("command")).toInt() == command)
                out << f;
        return out;
    }
    static QByteArray frameBytes(const QJsonObject &recorded)
    {
        return QByteArray::fromHex(recorded.value(QStringLiteral("hex")).toString().toLatin1());
    }
};

} // namespace q48::test

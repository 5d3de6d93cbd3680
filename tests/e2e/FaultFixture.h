#pragma once

// The whole core (ServiceCore) against a q48-sim started with faults: found by the UDP search
// and the TCP probe, connected with the connect button, with a firmware window and a preset
// window registered as the GUI would.

#include "PresetE2eFixture.h"

#include "../core/firmware/FirmwareRunSupport.h"
#include "ServiceCore.h"
#include "firmware/FirmwareRun.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace q48::test {

class FaultFixture : public ::testing::Test {
protected:
    FakePrompts prompts;
    QTemporaryDir out;
    std::unique_ptr<ImageLib> lib;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<ServiceCore> core;
    DisplayRecorder display;
    std::unique_ptr<FirmwareRun> run;
    std::unique_ptr<WindowRegistration> firmwareWindow;
    PresetWindowProbe presetWindow;
    std::unique_ptr<WindowRegistration> presetRegistration;
    QList<QPair<int, int>> outcomes;
    QList<std::pair<FileResult, QList<int>>> exports;
    int importsFinished = 0;

    void TearDown() override
    {
        firmwareWindow.reset();
        presetRegistration.reset();
        run.reset();
        core.reset();
        if (sim)
            sim->stop();
    }

    static QStringList args(std::initializer_list<const char *> list)
    {
        QStringList out;
        for (const char *a : list)
            out << QString::fromLatin1(a);
        return out;
    }

    void startSim(const QStringList &extraArgs)
    {
        sim = std::make_unique<SimProcess>(
            QStringList{QStringLiteral("--reboot-seconds"), QStringLiteral("1")} + extraArgs);
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    }

    static ServiceCore::Options optionsFor(const SimProcess &target, const QString &libDir,
                                           const QString &outDir)
    {
        ServiceCore::Options options;
        options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
        options.endpoints.searchPort = target.udpPort();
        options.endpoints.udpPort = 0;
        options.endpoints.tcpPort = target.tcpPort();
        options.endpoints.serialPorts = QStringList();
        options.discoveryTimings.searchIntervalMs = 100;
        options.discoveryTimings.probeTickMs = 50;
        options.discoveryTimings.probeSpacingMs = 100;
        options.libDir = libDir;
        options.outputDir = outDir;
        return options;
    }

    // The core over a lib of four images of these sizes, with both windows open.
    void makeCore(const QList<qint64> &imageSizes = {3000, 1026, 2, 5000})
    {
        lib = std::make_unique<ImageLib>(imageSizes);
        core = std::make_unique<ServiceCore>(prompts, optionsFor(*sim, lib->path(), out.path()));
        run = std::make_unique<FirmwareRun>(core->firmware, display);
        FirmwareRun::Timings t;
        t.rebootDelayMs = 1300;
        t.imagePauseMs = 50;
        t.failurePauseMs = 50;
        run->setTimings(t);
        QObject::connect(run.get(), &FirmwareRun::imageFinished, [this](int pos, int result) {
            outcomes.append({pos, result});
        });
        firmwareWindow =
            std::make_unique<WindowRegistration>(core->link.windows(), kFirmwareWindowClass, run.get());
        presetRegistration =
            std::make_unique<WindowRegistration>(core->link.windows(), kPresetWindowClass, &presetWindow);
        QObject::connect(&core->memory, &MemoryTransfer::exportFinished,
                         [this](const FileResult &r, const QList<int> &missing) {
                             exports.append({r, missing});
                         });
        QObject::connect(&core->memory, &MemoryTransfer::importFinished, [this] { ++importsFinished; });
    }

    // Window creation and show, then the connect button once the device is found; waits for
    // the name lists the new link asks for.
    void findAndConnect()
    {
        int listsRead = 0;
        QObject::connect(&core->presets, &PresetCommands::listsRead, [&listsRead] { ++listsRead; });
        core->startDiscovery();
        core->startProbingAndLoad();
        ASSERT_TRUE(waitFor([this] { return core->discovery.deviceFound(); })) << sim->output().toStdString();
        core->connection.connectButtonClick();
        ASSERT_TRUE(waitFor([&] { return listsRead > 0; })) << sim->output().toStdString();
        QObject::disconnect(&core->presets, &PresetCommands::listsRead, nullptr, nullptr);
        ASSERT_TRUE(core->images.waitForCheck(10000));
        prompts.asked.clear();
    }

    // Runs the firmware programming to its end or until `until` holds.
    void program(const std::function<bool()> &until, int timeoutMs = 30000)
    {
        ASSERT_TRUE(run->program());
        ASSERT_TRUE(waitFor(until, timeoutMs)) << sim->output().toStdString();
    }

    // The user is told the link is gone, the button offers Connect, the LED is dark, and the
    // restarted search finds the (still running) device again.
    void expectLinkReleasedAndSearching()
    {
        ASSERT_TRUE(waitFor([this] { return core->link.activeLink() == nullptr; }, 5000));
        EXPECT_FALSE(core->connection.ledActive());
        EXPECT_EQ(core->connection.caption(), QStringLiteral("Connect"));
        EXPECT_TRUE(waitFor([this] { return lostMessages() == 1; }, 5000))
            << prompts.messages().join('|').toStdString();
        EXPECT_TRUE(waitFor([this] { return core->discovery.deviceFound(); }, 10000));
    }

    int lostMessages() const
    {
        int n = 0;
        for (const QString &m : prompts.messages())
            n += m.contains(QStringLiteral("was lost"));
        return n;
    }

    QString outPath(const QString &name) const { return out.filePath(name); }

    QJsonObject stopSim()
    {
        core->shutdown();
        sim->stop();
        return sim->summary();
    }

    static QJsonObject imageSummary(const QJsonObject &summary, int image)
    {
        return summary[QStringLiteral("images")][QString::number(image)].toObject();
    }
    static QJsonObject memorySummary(const QJsonObject &summary)
    {
        return summary[QStringLiteral("memory")].toObject();
    }
};

} // namespace q48::test

#pragma once

#include "FakePrompts.h"
#include "ServiceCore.h"
#include "SimProcess.h"
#include "TMainForm.h"
#include "UiTestHelpers.h"
#include "firmware/FirmwareCatalogue.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace q48::test {

// A lib folder as the program finds it beside itself: Ver.ini and, when asked, the images.
inline void writeLib(const QString &dir, int delay, const QList<int> &imageSizes = {})
{
    QFile ini(dir + QStringLiteral("/Ver.ini"));
    EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[ver]\r\nMCU_VER=MCU_Firmware_1_V4.5\r\nKEY_VER=MCU_Firmware_2_V2.8\r\n"
              "DSP1_VER=DSP_Firmware_1_V4.0\r\nDSP2_VER=DSP_Firmware_2_V4.1\r\n"
              "[App-config]\r\nVer=V2.3\r\nName=Q48 Service\r\nUrl=https://q48.example\r\n"
              "CompName=Test Works Ltd.\r\nUtype=0\r\nDelay=" +
              QByteArray::number(delay) + "\r\n");
    for (int i = 0; i < imageSizes.size(); ++i) {
        QFile image(dir + QLatin1Char('/') + QLatin1String(firmwareIds[i]));
        EXPECT_TRUE(image.open(QIODevice::WriteOnly));
        QByteArray bytes(imageSizes[i], '\0');
        for (int b = 0; b < bytes.size(); ++b)
            bytes[b] = char((b * 7 + i) & 0xFF);
        image.write(bytes);
    }
}

// The main window over its own core, pointed at one q48-sim on loopback only.
class WiredFixture : public ::testing::Test {
protected:
    void TearDown() override
    {
        form.reset();
        if (sim)
            sim->stop();
    }

    // Starts the simulator and the window; `serial` sweeps only the simulator's pty.
    void start(const QStringList &simArgs = {}, bool serial = false, const QList<int> &imageSizes = {})
    {
        sim = std::make_unique<SimProcess>(simArgs);
        if (serial)
            sim->enableSerial();
        ASSERT_TRUE(sim->start()) << qPrintable(sim->errorString());
        writeLib(lib.path(), 28, imageSizes);

        ServiceCore::Options options;
        options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
        options.endpoints.searchPort = sim->udpPort();
        options.endpoints.udpPort = 0;
        options.endpoints.tcpPort = sim->tcpPort();
        options.endpoints.serialPorts = serial ? QStringList{sim->serialPath()} : QStringList();
        options.discoveryTimings.searchIntervalMs = 100;
        options.discoveryTimings.probeTickMs = 50;
        options.discoveryTimings.probeSpacingMs = 100;
        options.discoveryTimings.passGapMs = 300;
        options.libDir = lib.path();
        options.outputDir = out.path();
        form = std::make_unique<TMainForm>(options, &prompts);
        form->FormCreate();
        form->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return core().discovery.deviceFound(); }, 10000));
    }

    // The connect button, until the name lists have arrived.
    void connectToSim()
    {
        QSignalSpy listsRead(&core().presets, &PresetCommands::listsRead);
        click("connectButton");
        ASSERT_TRUE(QTest::qWaitFor([&] { return listsRead.count() > 0; }, 10000));
    }

    ServiceCore &core() { return form->core(); }
    template <typename T = QWidget> T *child(const char *name)
    {
        return form->findChild<T *>(QLatin1String(name));
    }
    void click(const char *button) { QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton); }

    QTemporaryDir lib;
    QTemporaryDir out;
    FakePrompts prompts;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TMainForm> form;
};

} // namespace q48::test

#include "FakePrompts.h"
#include "ServiceCore.h"
#include "SimProcess.h"

#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace q48;

namespace {

// The composed core, as the main window drives it: find the simulator, connect, and the name
// lists arrive by themselves.
TEST(ServiceCore, FindsConnectsAndReadsTheNameListsOverTcp)
{
    test::SimProcess sim;
    ASSERT_TRUE(sim.start()) << qPrintable(sim.errorString());

    QTemporaryDir lib;
    test::FakePrompts prompts;
    ServiceCore::Options options;
    options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
    options.endpoints.searchPort = sim.udpPort();
    options.endpoints.udpPort = 0;
    options.endpoints.tcpPort = sim.tcpPort();
    options.endpoints.serialPorts = QStringList();
    options.discoveryTimings.searchIntervalMs = 100;
    options.discoveryTimings.probeTickMs = 50;
    options.discoveryTimings.probeSpacingMs = 100;
    options.libDir = lib.path();
    ServiceCore core(prompts, options);

    core.startDiscovery();
    core.startProbingAndLoad();
    QSignalSpy found(&core.discovery, &Discovery::deviceFoundChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return core.discovery.deviceFound(); }, 10000));
    EXPECT_EQ(core.discovery.foundDeviceList(), QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_EQ(core.discovery.linkKind(), 1);

    QSignalSpy listsRead(&core.presets, &PresetCommands::listsRead);
    core.connection.connectButtonClick();
    ASSERT_TRUE(listsRead.wait(10000));
    EXPECT_EQ(core.connection.caption(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(core.connection.ledActive());
    EXPECT_TRUE(QFile::exists(lib.filePath(QStringLiteral("Ver.ini"))));

    const QList<QJsonObject> frames = sim.recordedFrames();
    QList<int> listRequests;
    for (const QJsonObject &f : frames)
        if (f.value(QStringLiteral("command")).toInt() == CMD_PRESET_LIST)
            listRequests << f.value(QStringLiteral("subCode")).toInt();
    EXPECT_EQ(listRequests, (QList<int>{1, 2, 3, 4}));

    core.shutdown();
    EXPECT_FALSE(core.link.isLinkConnected());
}

} // namespace

// The windows tied to the core, clicked against q48-sim on loopback.

#include "CorePresetActions.h"
#include "RadioGroup.h"
#include "TFirmwareWindow.h"
#include "TPrsetSaveLoadForm.h"
#include "WiredFixture.h"
#include "XLed.h"
#include "firmware/FirmwareRun.h"
#include "link/CommandCodes.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace q48::test {
namespace {

using WiredMainForm = WiredFixture;

TEST_F(WiredMainForm, ConnectAndDisconnectFollowTheLink)
{
    start();
    auto *led = child<XLed>("xled");
    auto *button = child<QPushButton>("connectButton");
    EXPECT_EQ(child<QLabel>("ipLabel")->text(), QStringLiteral("127.0.0.1"));

    connectToSim();
    EXPECT_TRUE(led->dp_active());
    EXPECT_EQ(button->text(), QStringLiteral("Disconnect"));
    EXPECT_FALSE(child("refleshBtn")->isEnabled());
    EXPECT_TRUE(core().link.isLinkConnected());

    click("connectButton");
    EXPECT_FALSE(led->dp_active());
    EXPECT_EQ(button->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(core().link.isLinkConnected());
    // Searching again: the simulator is found anew.
    ASSERT_TRUE(QTest::qWaitFor([&] { return core().discovery.deviceFound(); }, 10000));
    EXPECT_EQ(child<QLabel>("ipLabel")->text(), QStringLiteral("127.0.0.1"));
}

TEST_F(WiredMainForm, RefreshForgetsTheFoundDeviceAndFindsItAgain)
{
    start();
    click("refleshBtn");
    EXPECT_TRUE(child<QLabel>("ipLabel")->text().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return core().discovery.deviceFound(); }, 10000));
    EXPECT_EQ(child<QLabel>("ipLabel")->text(), QStringLiteral("127.0.0.1"));
}

TEST_F(WiredMainForm, ClosingWhileConnectedReleasesTheLinkAndJoinsTheSweep)
{
    start({QStringLiteral("--no-udp")}, true);
    EXPECT_TRUE(core().discovery.isSweepRunning());
    connectToSim();
    ASSERT_TRUE(core().link.isLinkConnected());

    EXPECT_TRUE(form->close());
    EXPECT_EQ(core().link.activeLink(), nullptr);
    EXPECT_FALSE(core().discovery.isSweepRunning());
    EXPECT_FALSE(core().discovery.isProbeTimerActive());
    EXPECT_FALSE(child<XLed>("xled")->dp_active());
}

TEST_F(WiredMainForm, EngineeringDownloadFillsTheGaugeAndWritesTheDspImage)
{
    start();
    form->setEngineering(true);
    connectToSim();
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    click("DSPbtn1");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return prompts.messages().contains(QStringLiteral("Receiver Data over!")); }, 20000));
    EXPECT_EQ(child<QProgressBar>("ProgressBar6")->value(), 100);
    EXPECT_EQ(QFileInfo(out.filePath(QStringLiteral("DSP1.bin"))).size(), 322 * 256 + 2);
}

// The preset manager as the main window builds it, over the connected core.
class WiredPresetWindow : public WiredFixture {
protected:
    void SetUp() override
    {
        start();
        if (HasFatalFailure())
            return;
        connectToSim();
        if (HasFatalFailure())
            return;
        actions = std::make_unique<CorePresetActions>(core());
        window =
            std::make_unique<TPrsetSaveLoadForm>(core().link.windows(), core().data, prompts, actions.get());
        window->setActionDelay(0);
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        WiredFixture::TearDown();
    }

    template <typename T = QWidget> T *w(const char *name)
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QListWidget *list() { return w<QListWidget>("preList"); }
    QString status() { return w<QLineEdit>("stsEd")->text(); }
    bool busy() { return w("cirBar")->isVisible(); }
    void press(const char *button) { QTest::mouseClick(w<QAbstractButton>(button), Qt::LeftButton); }
    void selectLine(int row)
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualItemRect(list()->item(row)).center());
    }
    void chooseLocal(bool local) { w<RadioGroup>("devTypeRadio")->button(local ? 1 : 0)->click(); }
    int framesWithCommand(int command)
    {
        int n = 0;
        for (const QJsonObject &f : sim->recordedFrames())
            n += f.value(QStringLiteral("command")).toInt() == command;
        return n;
    }

    std::unique_ptr<CorePresetActions> actions;
    std::unique_ptr<TPrsetSaveLoadForm> window;
};

TEST_F(WiredPresetWindow, ShowsTheSimulatorsNamesPerKind)
{
    ASSERT_EQ(list()->count(), 24);
    EXPECT_EQ(list()->item(0)->text(), QStringLiteral("001.Scene 01"));
    EXPECT_EQ(list()->item(6)->text(), QStringLiteral("007.------empty-----"));
    w<RadioGroup>("presetTypeRadio")->button(4)->click(); // GEQ
    ASSERT_EQ(list()->count(), 48);
    EXPECT_EQ(list()->item(1)->text(), QStringLiteral("002.Geq 02          "));
    EXPECT_EQ(status(), QStringLiteral("Choose Mode Type: GEQ"));
}

TEST_F(WiredPresetWindow, SaveWithANameThenRecallShowsIt)
{
    selectLine(2);
    whenModal([](QWidget *dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("edPstname")),
                         QStringLiteral("Lead Vox"));
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(QStringLiteral("prestSaveBtn")),
                          Qt::LeftButton);
    });
    press("saveBtn");
    EXPECT_TRUE(busy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return framesWithCommand(CMD_SAVE_PRESET_NAME) == 1; }, 5000));

    press("recallBtn");
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("Update Presets sucessfully ..~!"); },
                                10000));
    EXPECT_FALSE(busy());
    EXPECT_EQ(list()->item(2)->text(), QStringLiteral("003.Lead Vox        "));
}

TEST_F(WiredPresetWindow, DeleteEmptiesTheSlotOnTheDevice)
{
    selectLine(0);
    press("deleteBtn");
    ASSERT_TRUE(QTest::qWaitFor([&] { return framesWithCommand(CMD_DELETE_PRESET) == 1; }, 5000));
    press("recallBtn");
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("Update Presets sucessfully ..~!"); },
                                10000));
    EXPECT_EQ(list()->item(0)->text(), QStringLiteral("001.------empty-----"));
}

TEST_F(WiredPresetWindow, LoadFromTheDeviceToAFileAndBack)
{
    const QString file = out.filePath(QStringLiteral("scene4.sScen"));
    prompts.saveAnswer = file;
    selectLine(3);
    press("loadBtn");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !busy(); }, 10000));
    ASSERT_TRUE(QFile::exists(file));

    chooseLocal(true);
    EXPECT_FALSE(w("saveBtn")->isVisible());
    prompts.openAnswer = file;
    press("loadBtn");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return status() == QStringLiteral("Load Scene from local finished ~!"); }, 10000));
    EXPECT_FALSE(busy());
}

TEST_F(WiredPresetWindow, MemoryExportAndImportShowTheirProgress)
{
    auto *gauge = w<QProgressBar>("pbar");
    const QString file = out.filePath(QStringLiteral("all.ept"));
    prompts.saveAnswer = file;
    int highest = 0;
    press("memImptBtn");
    EXPECT_EQ(status(), QStringLiteral("Begin to export all memory to files now,please wait~~!"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            highest = std::max(highest, gauge->value());
            return w("memExptBtn")->isEnabled() && QFile::exists(file);
        },
        20000));
    EXPECT_EQ(highest, 30);
    EXPECT_EQ(status(), QStringLiteral("Memory export from device over .....~!"));
    EXPECT_FALSE(gauge->isVisible());

    prompts.openAnswer = file;
    press("memExptBtn");
    EXPECT_EQ(status(), QStringLiteral("Begin to import memory file to device now,please wait~~!"));
    EXPECT_TRUE(gauge->isVisible());
    EXPECT_FALSE(w("chooseGp")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("Update Presets sucessfully ..~!"); },
                                30000));
    EXPECT_EQ(framesWithCommand(CMD_MEMORY_IMPORT), 30);
    EXPECT_TRUE(w("chooseGp")->isEnabled());
}

// An import the user declined, or whose file dialog was cancelled, did not begin: no status
// saying it did, no gauge, the controls usable, nothing sent.
TEST_F(WiredPresetWindow, DeclinedOrCancelledImportClaimsNothing)
{
    const QString before = status();
    for (bool declined : {true, false}) {
        SCOPED_TRACE(declined ? "declined" : "cancelled");
        prompts.answerYes = !declined;
        prompts.openAnswer.clear();
        press("memExptBtn");
        EXPECT_EQ(status(), before);
        EXPECT_FALSE(w("pbar")->isVisible());
        EXPECT_TRUE(w("chooseGp")->isEnabled());
    }
    EXPECT_EQ(framesWithCommand(CMD_MEMORY_IMPORT), 0);
}

// The firmware window opened from the main window, with the run's waits made short.
TEST_F(WiredMainForm, FirmwareWindowRunsAllFourImages)
{
    start({QStringLiteral("--reboot-seconds"), QStringLiteral("1")}, false, {3000, 1026, 2, 9000});
    ASSERT_TRUE(core().images.waitForCheck(10000));
    connectToSim();

    QObject::connect(form.get(), &TMainForm::firmwareWindowOpening, [](TFirmwareWindow *window) {
        EXPECT_EQ(window->run()->timings().rebootDelayMs, 28000);
        FirmwareRun::Timings timings;
        timings.rebootDelayMs = 2000;
        timings.imagePauseMs = 100;
        timings.failurePauseMs = 100;
        window->run()->setTimings(timings);
    });
    QSet<QString> countdownTexts;
    QList<int> ledsLit;
    QString finalStatus;
    int finalGauge = -1;
    bool finished = false;
    whenModal(
        [&](QWidget *modal) {
            auto *window = qobject_cast<TFirmwareWindow *>(modal);
            auto *countdown = modal->findChild<QLabel *>(QStringLiteral("txtSLB"));
            auto *status = modal->findChild<QLabel *>(QStringLiteral("stsLB"));
            // The run waits inside the dispatch of the device's replies, so look on a timer.
            QTimer look;
            QObject::connect(&look, &QTimer::timeout, [&] {
                if (countdown->isVisible())
                    countdownTexts << countdown->text();
                for (int n = 0; n < 4; ++n) {
                    auto *led = modal->findChild<XLed *>(QStringLiteral("fled%1").arg(n));
                    if (led->dp_active() && (ledsLit.isEmpty() || ledsLit.last() != n))
                        ledsLit << n;
                }
            });
            look.start(10);
            QTest::mouseClick(modal->findChild<QAbstractButton *>(QStringLiteral("btnTotal")),
                              Qt::LeftButton);
            finished = QTest::qWaitFor([&] { return window->run()->isFinished(); }, 30000);
            look.stop();
            finalStatus = status->isVisible() ? status->text() : QString();
            finalGauge = modal->findChild<QProgressBar *>(QStringLiteral("pbar"))->value();
            EXPECT_FALSE(countdown->isVisible());
            modal->close();
        },
        40000);
    click("upateFirmwareBtn");

    ASSERT_TRUE(finished);
    EXPECT_EQ(ledsLit, (QList<int>{0, 1, 2, 3}));
    EXPECT_EQ(countdownTexts, (QSet<QString>{QStringLiteral("Device is rooting now,wait... 2"),
                                             QStringLiteral("Device is rooting now,wait... 1")}));
    EXPECT_EQ(finalStatus, QStringLiteral("Sucess to Program,Please Restart the Device~!"));
    EXPECT_EQ(finalGauge, 9); // 9000 bytes less the two trailing ones: 9 packets
    EXPECT_TRUE(prompts.messages().isEmpty()) << qPrintable(prompts.messages().join(QLatin1Char('\n')));
}

} // namespace
} // namespace q48::test

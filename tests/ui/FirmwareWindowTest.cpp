#include "CSwitchButton.h"
#include "TFirmwareWindow.h"
#include "XLed.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

namespace {

class FirmwareWindowTest : public ::testing::Test {
protected:
    q48::WindowRegistry registry;
    TFirmwareWindow window{registry};

    QLabel *label(const char *name) { return window.findChild<QLabel *>(QLatin1String(name)); }
    QProgressBar *gauge() { return window.findChild<QProgressBar *>(QStringLiteral("pbar")); }
    QList<int> litLeds()
    {
        QList<int> lit;
        for (int n = 0; n < 4; ++n)
            if (window.findChild<XLed *>(QStringLiteral("fled%1").arg(n))->dp_LedStatus() == 2)
                lit << n;
        return lit;
    }
};

TEST_F(FirmwareWindowTest, OpensWithVersionsLampsDarkAndStatusHidden)
{
    window.setVersionTexts(QStringLiteral("MCU_Firmware_1_V4.5"), QStringLiteral("MCU_Firmware_2_V2.8"),
                           QStringLiteral("DSP_Firmware_1_V4.0"), QStringLiteral("DSP_Firmware_2_V4.0"));
    window.show();
    EXPECT_EQ(label("mcuLb")->text(), QStringLiteral("MCU_Firmware_1_V4.5"));
    EXPECT_EQ(label("keyLb")->text(), QStringLiteral("MCU_Firmware_2_V2.8"));
    EXPECT_EQ(label("DSPLB1")->text(), QStringLiteral("DSP_Firmware_1_V4.0"));
    EXPECT_EQ(label("DSPLB2")->text(), QStringLiteral("DSP_Firmware_2_V4.0"));
    // Whole version texts stay readable.
    EXPECT_GE(label("mcuLb")->width(), label("mcuLb")->sizeHint().width());
    EXPECT_TRUE(litLeds().isEmpty());
    EXPECT_FALSE(label("stsLB")->isVisible());
    EXPECT_FALSE(label("txtSLB")->isVisible());
}

TEST_F(FirmwareWindowTest, ShowLedLightsExactlyTheImagesLamp)
{
    for (int image = 0; image < 4; ++image) {
        window.showLed(image);
        EXPECT_EQ(litLeds(), QList<int>{image});
    }
    window.showLed(9);
    EXPECT_TRUE(litLeds().isEmpty());
}

TEST_F(FirmwareWindowTest, LampsAreFoundByTagNotPosition)
{
    // Swap the tags of two lamps: the lamp tagged with the image lights, whatever its name.
    window.findChild<XLed *>(QStringLiteral("fled0"))->setProperty("Tag", 1);
    window.findChild<XLed *>(QStringLiteral("fled1"))->setProperty("Tag", 0);
    window.showLed(0);
    EXPECT_EQ(litLeds(), QList<int>{1});
}

TEST_F(FirmwareWindowTest, StatusLineAndCountdown)
{
    window.show();
    window.showStatus(TFirmwareWindow::kStatusSuccess);
    QLabel *status = label("stsLB");
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), QStringLiteral("Sucess to Program,Please Restart the Device~!"));
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_GE(status->width(), status->sizeHint().width());
    window.hideStatus();
    EXPECT_FALSE(status->isVisible());

    window.setCountdownSeconds(30);
    window.showCountdown(true);
    EXPECT_TRUE(label("txtSLB")->isVisible());
    EXPECT_EQ(label("txtSLB")->text(), QStringLiteral("Device is rooting now,wait... 30"));
    window.setCountdownSeconds(1);
    EXPECT_EQ(label("txtSLB")->text(), QStringLiteral("Device is rooting now,wait... 1"));
    window.showCountdown(false);
    EXPECT_FALSE(label("txtSLB")->isVisible());
}

TEST_F(FirmwareWindowTest, GaugeFollowsProgressNotifications)
{
    window.setGaugeMaximum(120);
    EXPECT_EQ(window.gaugeMaximum(), 120);
    ASSERT_TRUE(registry.isOpen(q48::kFirmwareWindowClass));
    registry.notifyWindow(q48::kFirmwareWindowClass, q48::WM_LINK_NOTIFY, 7, q48::LN_FIRMWARE_PROGRESS + 3);
    EXPECT_EQ(gauge()->value(), 7);
    EXPECT_EQ(gauge()->maximum(), 120);
    // Beyond the range the gauge shows full rather than keeping a stale value.
    registry.notifyWindow(q48::kFirmwareWindowClass, q48::WM_LINK_NOTIFY, 500, 0);
    EXPECT_EQ(gauge()->value(), 120);
}

TEST_F(FirmwareWindowTest, ResultMessagesReachTheSequence)
{
    QSignalSpy failed(&window, &TFirmwareWindow::imageResultFailed);
    QSignalSpy done(&window, &TFirmwareWindow::imageResultDone);
    window.show();

    registry.notifyWindow(q48::kFirmwareWindowClass, q48::WM_FIRMWARE_RESULT, 1, q48::FW_RESULT_DONE);
    registry.notifyWindow(q48::kFirmwareWindowClass, q48::WM_FIRMWARE_RESULT, 2, q48::FW_RESULT_FAILED);
    ASSERT_EQ(done.count(), 1);
    EXPECT_EQ(done.at(0).at(0).toInt(), 1);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toInt(), 2);
    EXPECT_FALSE(label("stsLB")->isVisible());

    // Not ready: the status says so, then the image counts as failed.
    registry.notifyWindow(q48::kFirmwareWindowClass, q48::WM_FIRMWARE_RESULT, 3, q48::FW_RESULT_NOT_READY);
    EXPECT_EQ(label("stsLB")->text(), QStringLiteral("Device Not Ready~!"));
    EXPECT_TRUE(label("stsLB")->isVisible());
    ASSERT_EQ(failed.count(), 2);
    EXPECT_EQ(failed.at(1).at(0).toInt(), 3);

    // Any other result changes nothing.
    registry.notifyWindow(q48::kFirmwareWindowClass, q48::WM_FIRMWARE_RESULT, 0, 5);
    EXPECT_EQ(failed.count() + done.count(), 3);
}

TEST_F(FirmwareWindowTest, ProgramButtonAsksForARun)
{
    QSignalSpy program(&window, &TFirmwareWindow::programRequested);
    window.show();
    QTest::mouseClick(window.findChild<CSwitchButton *>(QStringLiteral("btnTotal")), Qt::LeftButton);
    EXPECT_EQ(program.count(), 1);
}

TEST(FirmwareWindowRegistration, RegisteredOnlyWhileAlive)
{
    q48::WindowRegistry registry;
    {
        TFirmwareWindow window(registry);
        EXPECT_TRUE(registry.isOpen(QStringLiteral("TFirmwareWindow")));
    }
    EXPECT_FALSE(registry.isOpen(QStringLiteral("TFirmwareWindow")));
    // A notification for the closed window is lost, not delivered to freed memory.
    registry.notifyWindow(q48::kFirmwareWindowClass, q48::WM_LINK_NOTIFY, 1, 0);
}

} // namespace

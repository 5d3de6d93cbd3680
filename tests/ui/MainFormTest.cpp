#include "AppTitle.h"
#include "TFirmwareWindow.h"
#include "TMainForm.h"
#include "TPrsetSaveLoadForm.h"
#include "UiTestHelpers.h"
#include "XLed.h"
#include "presets/TData.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace {

class MainFormTest : public ::testing::Test {
protected:
    template <typename T = QWidget> T *child(const char *name)
    {
        return form.findChild<T *>(QLatin1String(name));
    }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }

    q48::WindowRegistry registry;
    q48::TData data;
    TMainForm form{registry, data};
};

TEST_F(MainFormTest, ShowNarrowsTheWindowAndHidesTheEngineeringPage)
{
    form.show();
    EXPECT_EQ(form.width(), 692);
    EXPECT_EQ(form.centralWidget()->height(), 445);
    auto *tabs = child<QTabWidget>("PageControl1");
    EXPECT_EQ(tabs->width(), 692);
    EXPECT_TRUE(tabs->isTabVisible(0));
    EXPECT_FALSE(tabs->isTabVisible(1));
    EXPECT_FALSE(child("lineM")->isVisible());
    EXPECT_EQ(child<QLabel>("ipLabel")->text(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(child("refleshBtn")->isEnabled());
    EXPECT_FALSE(child<XLed>("xled")->dp_active());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainFormTest, EngineeringOffersThePageAndItsExportButton)
{
    form.setEngineering(true);
    form.show();
    auto *tabs = child<QTabWidget>("PageControl1");
    EXPECT_TRUE(tabs->isTabVisible(1));
    tabs->setCurrentIndex(1);
    EXPECT_TRUE(child("Button4")->isVisible());
    EXPECT_FALSE(child("edInput")->isVisible());

    QSignalSpy download(&form, &TMainForm::dspDownloadRequested);
    QSignalSpy exportFile(&form, &TMainForm::dspExportRequested);
    click("DSPbtn1");
    click("Button4");
    ASSERT_EQ(download.count(), 1);
    EXPECT_EQ(download.at(0).at(0).toInt(), 0);
    EXPECT_EQ(exportFile.count(), 1);
    form.setDspProgress(321);
    EXPECT_EQ(form.dspProgress(), 100);
}

TEST_F(MainFormTest, ConnectionDisplay)
{
    QSignalSpy connect(&form, &TMainForm::connectRequested);
    QSignalSpy refresh(&form, &TMainForm::refreshRequested);
    form.show();
    click("connectButton");
    click("refleshBtn");
    EXPECT_EQ(connect.count(), 1);
    EXPECT_EQ(refresh.count(), 1);

    form.setLedActive(true);
    form.setConnectCaption(QStringLiteral("Disconnect"));
    form.setRefreshEnabled(false);
    form.setDeviceText(QStringLiteral("192.168.1.20"));
    EXPECT_EQ(child<XLed>("xled")->brushColor(), QColor(0, 255, 0));
    EXPECT_EQ(child<QPushButton>("connectButton")->text(), QStringLiteral("Disconnect"));
    EXPECT_FALSE(child("refleshBtn")->isEnabled());
    EXPECT_EQ(child<QLabel>("ipLabel")->text(), QStringLiteral("192.168.1.20"));
}

TEST_F(MainFormTest, CaptionIsAlsoTheApplicationTitle)
{
    form.setCaption(QStringLiteral("DigitalMixer Firmware UpdateTool V1.0.1"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("DigitalMixer Firmware UpdateTool V1.0.1"));
    EXPECT_EQ(q48::applicationTitle(), QStringLiteral("DigitalMixer Firmware UpdateTool V1.0.1"));
    q48::setApplicationTitle(QStringLiteral("Q48UpdateTool"));
}

TEST_F(MainFormTest, FirmwareButtonOpensAModalWindowForOneRun)
{
    data.mcuVer = QStringLiteral("MCU_Firmware_1_V4.5");
    form.show();
    TFirmwareWindow *opened = nullptr;
    QObject::connect(&form, &TMainForm::firmwareWindowOpening, [&](TFirmwareWindow *w) { opened = w; });
    bool wasRegistered = false;
    QString shownVersion;
    q48::test::whenModal([&](QWidget *modal) {
        wasRegistered = registry.isOpen(q48::kFirmwareWindowClass);
        shownVersion = modal->findChild<QLabel *>(QStringLiteral("mcuLb"))->text();
        EXPECT_EQ(modal, opened);
        modal->close();
    });
    click("upateFirmwareBtn");
    EXPECT_NE(opened, nullptr);
    EXPECT_TRUE(wasRegistered);
    EXPECT_EQ(shownVersion, QStringLiteral("MCU_Firmware_1_V4.5"));
    EXPECT_FALSE(registry.isOpen(q48::kFirmwareWindowClass)); // gone once closed
}

TEST_F(MainFormTest, PresetButtonOpensAModalWindowForOneRun)
{
    form.show();
    bool wasRegistered = false;
    int lines = 0;
    q48::test::whenModal([&](QWidget *modal) {
        wasRegistered = registry.isOpen(q48::kPresetWindowClass);
        lines = modal->findChild<QListWidget *>(QStringLiteral("preList"))->count();
        modal->close();
    });
    click("saveloadBtn");
    EXPECT_TRUE(wasRegistered);
    EXPECT_EQ(lines, 24);
    EXPECT_FALSE(registry.isOpen(q48::kPresetWindowClass));
}

TEST_F(MainFormTest, VersionMenuOpensTheAboutBox)
{
    q48::VersionInfo info;
    info.appName = QStringLiteral("Name");
    form.setVersionInfo(info);
    form.show();
    QString product;
    q48::test::whenModal([&](QWidget *modal) {
        product = modal->findChild<QLabel *>(QStringLiteral("lbpro"))->text();
        modal->close();
    });
    child<QAction>("Version1")->trigger();
    EXPECT_EQ(product, QStringLiteral("Name"));
}

TEST_F(MainFormTest, MemosEmptyThemselvesPastHundredLines)
{
    auto *memo = child<QPlainTextEdit>("recever");
    for (int i = 0; i < 100; ++i)
        memo->appendPlainText(QStringLiteral("line"));
    EXPECT_EQ(memo->blockCount(), 100);
    memo->appendPlainText(QStringLiteral("one more"));
    EXPECT_TRUE(memo->toPlainText().isEmpty());
}

TEST_F(MainFormTest, ClosingIsNeverRefused)
{
    QSignalSpy closing(&form, &TMainForm::closing);
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closing.count(), 1);
}

} // namespace

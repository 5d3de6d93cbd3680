#include "AppTitle.h"
#include "TFirmwareWindow.h"
#include "TMainForm.h"
#include "TPrsetSaveLoadForm.h"
#include "UiTestHelpers.h"
#include "WiredFixture.h"
#include "XLed.h"

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

// The main window before any device is found: discovery is not started, so nothing is sent.
class MainFormTest : public ::testing::Test {
protected:
    MainFormTest()
    {
        q48::test::writeLib(lib.path(), 28);
        options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
        options.endpoints.udpPort = 0;
        options.endpoints.serialPorts = QStringList();
        options.libDir = lib.path();
        options.outputDir = out.path();
        form = std::make_unique<TMainForm>(options, &prompts);
    }
    ~MainFormTest() override { q48::setApplicationTitle(QStringLiteral("Q48UpdateTool")); }

    template <typename T = QWidget> T *child(const char *name)
    {
        return form->findChild<T *>(QLatin1String(name));
    }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    q48::WindowRegistry &registry() { return form->core().link.windows(); }

    QTemporaryDir lib;
    QTemporaryDir out;
    q48::test::FakePrompts prompts;
    q48::ServiceCore::Options options;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainFormTest, ShowNarrowsTheWindowHidesTheEngineeringPageAndTakesTheVersionCaption)
{
    form->show();
    EXPECT_EQ(form->width(), 692);
    EXPECT_EQ(form->centralWidget()->height(), 445);
    auto *tabs = child<QTabWidget>("PageControl1");
    EXPECT_EQ(tabs->width(), 692);
    EXPECT_TRUE(tabs->isTabVisible(0));
    EXPECT_FALSE(tabs->isTabVisible(1));
    EXPECT_FALSE(child("lineM")->isVisible());
    EXPECT_EQ(child<QLabel>("ipLabel")->text(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(child("refleshBtn")->isEnabled());
    EXPECT_FALSE(child<XLed>("xled")->dp_active());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Q48 Service V2.3"));
    EXPECT_EQ(q48::applicationTitle(), QStringLiteral("Q48 Service V2.3"));
    EXPECT_TRUE(prompts.messages().isEmpty()) << qPrintable(prompts.messages().join(QLatin1Char('\n')));
}

TEST_F(MainFormTest, BrowserExportsTheChosenFileAndShowsItsName)
{
    QFile input(out.filePath(QStringLiteral("in.bin")));
    ASSERT_TRUE(input.open(QIODevice::WriteOnly));
    input.write("\x01\xAB\xFF");
    input.close();

    form->setEngineering(true);
    form->show();
    EXPECT_TRUE(child("lineM")->isVisible());
    EXPECT_EQ(form->width(), TMainForm::kStoredWidth);
    child<QTabWidget>("PageControl1")->setCurrentIndex(1);
    ASSERT_TRUE(child("Button4")->isVisible());
    auto *edInput = child<QPlainTextEdit>("edInput");

    prompts.openAnswer = input.fileName() + QStringLiteral("  ");
    click("Button4");
    EXPECT_EQ(edInput->toPlainText(), input.fileName());
    QFile written(out.filePath(QStringLiteral("fTrelk_LPC1820_APP.cpp")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(),
              QByteArray("const char Trelk_LPC1820_APP[]={\r\n\r0x01,0xAB,0xFF,\r\n};\r\n"));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Sucess export files")});

    // Cancelled: the memo is emptied and nothing is said.
    prompts.openAnswer.clear();
    click("Button4");
    EXPECT_TRUE(edInput->toPlainText().isEmpty());
    EXPECT_EQ(prompts.messages().size(), 1);
}

TEST_F(MainFormTest, FirmwareButtonOpensAModalWindowForOneRun)
{
    form->show();
    TFirmwareWindow *opened = nullptr;
    QObject::connect(form.get(), &TMainForm::firmwareWindowOpening, [&](TFirmwareWindow *w) { opened = w; });
    bool wasRegistered = false;
    bool hasRun = false;
    QString shownVersion;
    q48::test::whenModal([&](QWidget *modal) {
        wasRegistered = registry().isOpen(q48::kFirmwareWindowClass);
        hasRun = opened && opened->run();
        shownVersion = modal->findChild<QLabel *>(QStringLiteral("DSPLB2"))->text();
        EXPECT_EQ(modal, opened);
        modal->close();
    });
    click("upateFirmwareBtn");
    EXPECT_NE(opened, nullptr);
    EXPECT_TRUE(wasRegistered);
    EXPECT_TRUE(hasRun);
    EXPECT_EQ(shownVersion, QStringLiteral("DSP_Firmware_2_V4.1"));
    EXPECT_FALSE(registry().isOpen(q48::kFirmwareWindowClass)); // gone once closed
}

TEST_F(MainFormTest, PresetButtonOpensAModalWindowForOneRun)
{
    form->show();
    bool wasRegistered = false;
    int lines = 0;
    q48::test::whenModal([&](QWidget *modal) {
        wasRegistered = registry().isOpen(q48::kPresetWindowClass);
        lines = modal->findChild<QListWidget *>(QStringLiteral("preList"))->count();
        modal->close();
    });
    click("saveloadBtn");
    EXPECT_TRUE(wasRegistered);
    EXPECT_EQ(lines, 24);
    EXPECT_FALSE(registry().isOpen(q48::kPresetWindowClass));
}

TEST_F(MainFormTest, VersionMenuOpensTheAboutBoxWithTheVersionFile)
{
    form->show();
    QString product, version, company, url, caption;
    q48::test::whenModal([&](QWidget *modal) {
        product = modal->findChild<QLabel *>(QStringLiteral("lbpro"))->text();
        version = modal->findChild<QLabel *>(QStringLiteral("lbv"))->text();
        company = modal->findChild<QLabel *>(QStringLiteral("compLabel"))->text();
        url = modal->findChild<QLabel *>(QStringLiteral("netul"))->text();
        caption = modal->windowTitle();
        modal->close();
    });
    child<QAction>("Version1")->trigger();
    EXPECT_EQ(product, QStringLiteral("Q48 Service"));
    EXPECT_EQ(version, QStringLiteral("V2.3"));
    EXPECT_EQ(company, QStringLiteral("Test Works Ltd."));
    EXPECT_EQ(url, QStringLiteral("https://q48.example"));
    EXPECT_EQ(caption, form->windowTitle());
}

TEST_F(MainFormTest, MemosEmptyThemselvesPastHundredLines)
{
    auto *memo = child<QPlainTextEdit>("recever");
    for (int i = 0; i < 100; ++i)
        memo->appendPlainText(QStringLiteral("line"));
    EXPECT_EQ(memo->blockCount(), 100);
    memo->appendPlainText(QStringLiteral("one more"));
    EXPECT_TRUE(memo->toPlainText().isEmpty());

    auto *lineM = child<QPlainTextEdit>("lineM");
    lineM->appendPlainText(QStringLiteral("note"));
    QTest::mouseDClick(lineM->viewport(), Qt::LeftButton);
    EXPECT_TRUE(lineM->toPlainText().isEmpty());
}

TEST_F(MainFormTest, ClosingIsNeverRefused)
{
    QSignalSpy closing(form.get(), &TMainForm::closing);
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(closing.count(), 1);
}

} // namespace

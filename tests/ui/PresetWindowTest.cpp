#include "BusySpinner.h"
#include "CSwitchButton.h"
#include "FakePrompts.h"
#include "PresetActions.h"
#include "RadioGroup.h"
#include "TFPresetNameSave.h"
#include "TPrsetSaveLoadForm.h"
#include "UiTestHelpers.h"
#include "presets/TData.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>

namespace {

struct FakeActions : q48::PresetActions {
    bool connected = true;
    bool fileAccepted = true;
    // False: the user declined, cancelled the file dialog or the file was refused.
    bool transferStarts = true;
    QStringList calls;

    bool isConnected() const override { return connected; }
    void requestPresetList(int kind) override { calls << QStringLiteral("list %1").arg(kind); }
    void sendPresetName(int kind, int slot, int channel) override
    {
        calls << QStringLiteral("name %1 %2 %3").arg(kind).arg(slot).arg(channel);
    }
    void sendDeletePreset(int kind, int slot) override
    {
        calls << QStringLiteral("delete %1 %2").arg(kind).arg(slot);
    }
    void requestPreset(int kind, int slot) override
    {
        calls << QStringLiteral("read %1 %2").arg(kind).arg(slot);
    }
    bool readPresetFile(int kind) override
    {
        calls << QStringLiteral("file %1").arg(kind);
        return fileAccepted;
    }
    void sendPresetData(int kind, int channel) override
    {
        calls << QStringLiteral("write %1 %2").arg(kind).arg(channel);
    }
    bool memoryExport() override
    {
        calls << QStringLiteral("export");
        return connected && transferStarts;
    }
    bool memoryImport() override
    {
        calls << QStringLiteral("import");
        return connected && transferStarts;
    }
};

class PresetWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.setActionDelay(0);
        window.show();
    }

    template <typename T = QWidget> T *child(const char *name)
    {
        return window.findChild<T *>(QLatin1String(name));
    }
    QListWidget *list() { return child<QListWidget>("preList"); }
    QComboBox *channels() { return child<QComboBox>("chBx"); }
    QString status() { return child<QLineEdit>("stsEd")->text(); }
    bool busy() { return child<q48::BusySpinner>("cirBar")->isVisible(); }
    void chooseKindItem(int item) { child<q48::RadioGroup>("presetTypeRadio")->button(item)->click(); }
    void chooseDevice(bool device)
    {
        child<q48::RadioGroup>("devTypeRadio")->button(device ? 0 : 1)->click();
    }
    void selectLine(int row)
    {
        QListWidgetItem *item = list()->item(row);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    }
    void click(const char *button) { QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton); }
    void notify(int event, int wParam)
    {
        registry.notifyWindow(q48::kPresetWindowClass, q48::WM_LINK_NOTIFY, wParam, event);
    }

    q48::WindowRegistry registry;
    q48::TData data;
    q48::test::FakePrompts prompts;
    FakeActions actions;
    TPrsetSaveLoadForm window{registry, data, prompts, &actions};
};

TEST_F(PresetWindowTest, OpensOnTheSceneListOfTheDevice)
{
    EXPECT_TRUE(registry.isOpen(QStringLiteral("TPrsetSaveLoadForm")));
    ASSERT_EQ(list()->count(), 24);
    EXPECT_EQ(list()->item(0)->text(), QStringLiteral("001.------empty-----"));
    EXPECT_EQ(list()->item(23)->text(), QStringLiteral("024.------empty-----"));
    EXPECT_EQ(status(), QStringLiteral("Choose Mode Type: Scene"));
    EXPECT_EQ(window.selectedSlot(), -1);
    EXPECT_FALSE(child("chboxPanel")->isVisible());
    EXPECT_FALSE(busy());
    EXPECT_FALSE(child("pbar")->isVisible());
}

TEST_F(PresetWindowTest, EachKindShowsItsSlotsAndChannels)
{
    const struct {
        int item;
        int lines;
        QStringList firstAndLastChannel; // empty: channel panel hidden
        const char *status;
    } cases[] = {
        {1, 48, {QStringLiteral("CH01"), QStringLiteral("MAIN")}, "Choose Mode Type: DSP Channel"},
        {2, 104, {}, "Choose Mode Type: DFX"},
        {4, 48, {QStringLiteral("MAIN"), QStringLiteral("AUX4")}, "Choose Mode Type: GEQ"},
        {3, 104, {}, "Choose Mode Type: DFX"},
        {0, 24, {}, "Choose Mode Type: Scene"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        chooseKindItem(c.item);
        EXPECT_EQ(list()->count(), c.lines);
        EXPECT_EQ(list()->item(c.lines - 1)->text().left(4),
                  QString::number(c.lines).rightJustified(3, '0') + '.');
        EXPECT_EQ(status(), QString::fromUtf8(c.status));
        EXPECT_EQ(child("chboxPanel")->isVisible(), !c.firstAndLastChannel.isEmpty());
        if (!c.firstAndLastChannel.isEmpty()) {
            EXPECT_EQ(channels()->currentIndex(), 0);
            EXPECT_EQ(channels()->itemText(0), c.firstAndLastChannel.first());
            EXPECT_EQ(channels()->itemText(channels()->count() - 1), c.firstAndLastChannel.last());
        }
        EXPECT_EQ(window.selectedSlot(), -1);
    }
    // Scene leaves the last list (DFX's, filled though its panel is hidden) in place.
    EXPECT_EQ(channels()->count(), 2);
}

TEST_F(PresetWindowTest, DeviceNamesShowUpToTheirFirstZeroByte)
{
    auto block = data.presetBlock(3);
    std::fill(block.begin(), block.begin() + 16, '\0');
    std::copy_n("Drums", 5, block.begin());
    std::copy_n("\0Hidden", 7, block.begin() + 16);
    window.refreshPresetList();
    EXPECT_EQ(list()->item(0)->text(), QStringLiteral("001.Drums"));
    EXPECT_EQ(list()->item(1)->text(), QStringLiteral("002."));
}

TEST_F(PresetWindowTest, LocalComputerKeepsTheListAndHidesDeviceCommands)
{
    selectLine(4);
    EXPECT_EQ(window.selectedSlot(), 4);
    chooseDevice(false);
    EXPECT_EQ(list()->count(), 24);
    EXPECT_EQ(window.selectedSlot(), -1);
    EXPECT_FALSE(child("saveBtn")->isVisible());
    EXPECT_FALSE(child("deleteBtn")->isVisible());
    EXPECT_FALSE(child("recallBtn")->isVisible());
    EXPECT_TRUE(child("loadBtn")->isVisible());

    chooseKindItem(1); // the list is not refilled in this mode
    EXPECT_EQ(list()->count(), 24);
    chooseDevice(true);
    EXPECT_EQ(list()->count(), 48);
    EXPECT_TRUE(child("saveBtn")->isVisible());
}

TEST_F(PresetWindowTest, CommandsWithoutSelectionOnlySayWhy)
{
    for (const char *button : {"saveBtn", "deleteBtn", "loadBtn"}) {
        child<QLineEdit>("stsEd")->clear();
        click(button);
        EXPECT_EQ(status(), QStringLiteral("No item selected or selected item is empty")) << button;
    }
    EXPECT_TRUE(actions.calls.isEmpty());
    EXPECT_FALSE(busy());
}

TEST_F(PresetWindowTest, SaveAsksForANameAndSendsTheSlot)
{
    chooseKindItem(1);
    channels()->setCurrentIndex(5);
    selectLine(2);
    q48::test::whenModal([](QWidget *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("edPstname"))->setText(QStringLiteral("Lead Vox"));
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(QStringLiteral("prestSaveBtn")),
                          Qt::LeftButton);
    });
    click("saveBtn");
    EXPECT_EQ(actions.calls, QStringList{QStringLiteral("name 0 2 5")});
    EXPECT_EQ(data.presetLine(2, 0), QStringLiteral("003.Lead Vox        "));
    EXPECT_TRUE(busy());
    // The list keeps the old line until the next refresh.
    EXPECT_EQ(list()->item(2)->text(), QStringLiteral("003.------empty-----"));
}

TEST_F(PresetWindowTest, CancelledNameSendsNothing)
{
    selectLine(0);
    q48::test::whenModal([](QWidget *dialog) {
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(QStringLiteral("CSwitchButton2")),
                          Qt::LeftButton);
    });
    click("saveBtn");
    EXPECT_TRUE(actions.calls.isEmpty());
    EXPECT_FALSE(busy());
}

TEST_F(PresetWindowTest, DoubleClickSavesAndSceneSendsChannelZero)
{
    selectLine(1);
    q48::test::whenModal([](QWidget *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("edPstname"))->setText(QStringLiteral("Verse"));
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(QStringLiteral("prestSaveBtn")),
                          Qt::LeftButton);
    });
    QListWidgetItem *item = list()->item(1);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    EXPECT_EQ(actions.calls, QStringList{QStringLiteral("name 3 1 0")});
}

TEST_F(PresetWindowTest, DeleteLoadAndRecallSendTheirCommands)
{
    selectLine(3);
    click("deleteBtn");
    click("loadBtn");
    click("recallBtn");
    EXPECT_EQ(actions.calls, (QStringList{QStringLiteral("delete 3 3"), QStringLiteral("read 3 3"),
                                          QStringLiteral("list 0")}));
    EXPECT_TRUE(busy());
}

TEST_F(PresetWindowTest, LoadFromComputerSendsTheFileToTheChosenChannel)
{
    chooseKindItem(4);
    chooseDevice(false);
    channels()->setCurrentIndex(2);
    click("loadBtn");
    EXPECT_EQ(actions.calls, (QStringList{QStringLiteral("file 1"), QStringLiteral("write 1 2")}));
    EXPECT_TRUE(busy());

    actions.calls.clear();
    window.showBusy(false);
    actions.fileAccepted = false;
    click("loadBtn");
    EXPECT_EQ(actions.calls, QStringList{QStringLiteral("file 1")});
    EXPECT_FALSE(busy());
}

TEST_F(PresetWindowTest, BusyOnlyWhileConnected)
{
    actions.connected = false;
    window.showBusy(true);
    EXPECT_FALSE(busy());
    actions.connected = true;
    window.showBusy(true);
    EXPECT_TRUE(busy());
    EXPECT_TRUE(child("cirBar")->isEnabled());
    window.showBusy(false);
    EXPECT_FALSE(busy());
}

TEST_F(PresetWindowTest, LinkEventsUpdateTheWindow)
{
    window.showBusy(true);
    data.setPresetName(3, 0, QStringLiteral("Fresh"));
    notify(q48::LN_PRESET_LISTS_READ, 0);
    EXPECT_EQ(list()->item(0)->text(), QStringLiteral("001.Fresh           "));
    EXPECT_EQ(status(), QStringLiteral("Update Presets sucessfully ..~!"));
    EXPECT_FALSE(busy());

    window.showBusy(true);
    notify(q48::LN_PRESET_WRITTEN, 3);
    EXPECT_EQ(status(), QStringLiteral("Load Scene from local finished ~!"));
    EXPECT_FALSE(busy());
    window.showBusy(true);
    notify(q48::LN_PRESET_WRITTEN, 9);
    EXPECT_EQ(status(), QStringLiteral("Load Scene from local finished ~!"));
    EXPECT_TRUE(busy());

    notify(q48::LN_PRESET_READ, 0);
    EXPECT_FALSE(busy());

    window.showBusy(true);
    notify(q48::LN_PRESET_FILE_REJECTED, 0);
    EXPECT_EQ(status(), QStringLiteral("The preset mismatch current mode type or file is invalided"));
    EXPECT_FALSE(busy());

    notify(999, 0); // unknown events change nothing
    EXPECT_EQ(status(), QStringLiteral("The preset mismatch current mode type or file is invalided"));
    EXPECT_TRUE(actions.calls.isEmpty());
}

TEST_F(PresetWindowTest, MemoryExportRunsToThirtyPackets)
{
    click("memImptBtn");
    EXPECT_EQ(actions.calls, QStringList{QStringLiteral("export")});
    auto *gauge = child<QProgressBar>("pbar");
    EXPECT_TRUE(gauge->isVisible());
    EXPECT_EQ(gauge->maximum(), 30);
    EXPECT_EQ(status(), QStringLiteral("Begin to export all memory to files now,please wait~~!"));
    EXPECT_TRUE(child<CSwitchButton>("memExptBtn")->dp_isSelected());
    EXPECT_FALSE(child<CSwitchButton>("memImptBtn")->dp_isSelected());
    EXPECT_FALSE(child("memImptBtn")->isEnabled());

    notify(q48::LN_TRANSFER_STATE, 0);
    EXPECT_FALSE(child("chooseGp")->isEnabled());
    EXPECT_FALSE(child("choosetypeP")->isEnabled());
    EXPECT_FALSE(child("memExptBtn")->isEnabled());
    gauge->show();
    notify(q48::LN_EXPORT_PACKET, 12);
    EXPECT_EQ(gauge->value(), 12);
    EXPECT_TRUE(gauge->isVisible());
    notify(q48::LN_EXPORT_PACKET, 30);
    EXPECT_EQ(status(), QStringLiteral("Memory export from device over .....~!"));
    EXPECT_FALSE(gauge->isVisible());
    notify(q48::LN_TRANSFER_STATE, 1);
    EXPECT_TRUE(child("chooseGp")->isEnabled());
    EXPECT_TRUE(child("memImptBtn")->isEnabled());
}

TEST_F(PresetWindowTest, MemoryImportEndsByReadingTheLists)
{
    click("memExptBtn");
    EXPECT_EQ(actions.calls, QStringList{QStringLiteral("import")});
    EXPECT_EQ(status(), QStringLiteral("Begin to import memory file to device now,please wait~~!"));
    EXPECT_TRUE(child<CSwitchButton>("memImptBtn")->dp_isSelected());
    EXPECT_FALSE(child("memExptBtn")->isEnabled());

    notify(q48::LN_IMPORT_PACKET, 29);
    EXPECT_EQ(actions.calls.size(), 1);
    notify(q48::LN_IMPORT_PACKET, 30);
    EXPECT_FALSE(child("pbar")->isVisible());
    EXPECT_EQ(
        status(),
        QStringLiteral("Memory export over ,begin to synchronize presetList from device,waiting.....~!"));
    EXPECT_TRUE(busy());
    EXPECT_EQ(actions.calls.last(), QStringLiteral("list 0"));
}

// A memory button whose transfer did not start (no link, a declined prompt, a cancelled
// dialog, a refused file) must not claim it began.
TEST_F(PresetWindowTest, MemoryButtonsThatStartNothingLeaveGaugeAndStatus)
{
    struct Case {
        const char *button;
        bool connected;
        const char *call;
    };
    for (const Case &c : {Case{"memImptBtn", false, "export"}, Case{"memImptBtn", true, "export"},
                          Case{"memExptBtn", false, "import"}, Case{"memExptBtn", true, "import"}}) {
        SCOPED_TRACE(std::string(c.button) + (c.connected ? " declined" : " offline"));
        actions.calls.clear();
        actions.connected = c.connected;
        actions.transferStarts = false;
        click(c.button);
        EXPECT_EQ(actions.calls, QStringList{QLatin1String(c.call)});
        EXPECT_FALSE(child("pbar")->isVisible());
        EXPECT_EQ(status(), QStringLiteral("Choose Mode Type: Scene"));
        notify(q48::LN_TRANSFER_STATE, 1); // what the core sends when nothing started
    }
}

TEST(PresetWindowOffline, WithoutActionsNothingIsSent)
{
    q48::WindowRegistry registry;
    q48::TData data;
    q48::test::FakePrompts prompts;
    TPrsetSaveLoadForm window(registry, data, prompts, nullptr);
    window.setActionDelay(0);
    window.show();
    window.recallBtnClick();
    window.memImptBtnClick();
    EXPECT_FALSE(window.findChild<QWidget *>(QStringLiteral("cirBar"))->isVisible());
}

TEST(PresetNameDialog, NeedsTwoCharactersAfterTrimming)
{
    q48::TData data;
    q48::test::FakePrompts prompts;
    TFPresetNameSave dialog(data, prompts);
    dialog.presetKind = 1;
    dialog.presetSlot = 7;
    dialog.show();
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("edPstname"));
    const QString before = data.presetLine(7, 1);

    for (const char *text : {"a", "   ", " b "}) {
        edit->setText(QString::fromUtf8(text));
        dialog.prestSaveBtnClick();
        EXPECT_TRUE(dialog.isVisible()) << text;
        EXPECT_EQ(data.presetLine(7, 1), before);
    }
    EXPECT_EQ(prompts.messages(), QStringList(3, QStringLiteral("cannot empty......")));

    edit->setText(QStringLiteral("  Kick/Snare-1  "));
    dialog.prestSaveBtnClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(data.presetLine(7, 1), QStringLiteral("008.Kick/Snare-1    "));
}

} // namespace

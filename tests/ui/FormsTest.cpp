#include "CSwitchButton.h"
#include "FakePrompts.h"
#include "RadioGroup.h"
#include "TFPresetNameSave.h"
#include "TFirmwareWindow.h"
#include "TMainForm.h"
#include "TPrsetSaveLoadForm.h"
#include "TfmAbout.h"
#include "XLed.h"
#include "presets/TData.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>

#include <vector>

namespace {

// One control of a form as the layout gives it. Labels size themselves to their text, so for
// them only the position is fixed.
struct Control {
    const char *name;
    const char *cls;
    const char *text; // nullptr: not checked
    QRect geometry;   // null: not checked
    bool sizeFixed = true;
};

QString textOf(const QWidget *w)
{
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return w->windowTitle();
}

void expectControls(const QWidget &form, const std::vector<Control> &controls)
{
    for (const Control &c : controls) {
        SCOPED_TRACE(c.name);
        const auto *w = form.findChild<QWidget *>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), c.cls);
        if (c.text) {
            EXPECT_EQ(textOf(w), QString::fromUtf8(c.text));
        }
        if (!c.geometry.isNull()) {
            EXPECT_EQ(w->pos(), c.geometry.topLeft());
            if (c.sizeFixed)
                EXPECT_EQ(w->size(), c.geometry.size());
            else
                EXPECT_GE(w->width(), c.geometry.width());
        }
    }
}

QRect r(int x, int y, int w, int h)
{
    return {x, y, w, h};
}

TEST(FormsTest, MainWindow)
{
    q48::test::FakePrompts prompts;
    q48::ServiceCore::Options options;
    options.endpoints.serialPorts = QStringList();
    TMainForm form(options, &prompts); // never shown: nothing starts
    expectControls(form, {
                             {"libtitle", "QLabel",
                              "Save/Load Preset and Update Firmware (You should connect to mixer first)",
                              r(89, 22, 454, 27)},
                             {"upLine", "QFrame", nullptr, r(89, 58, 460, 1)},
                             {"connectButton", "QPushButton", "Connect", r(361, 75, 81, 50)},
                             {"Label3", "QLabel", "Status:", r(120, 118, 40, 16)},
                             {"xled", "XLed", nullptr, r(166, 111, 45, 23)},
                             {"refleshBtn", "QPushButton", "Reflesh", r(361, 151, 81, 50)},
                             {"Label8", "QLabel", "SerialPort/IP:", r(120, 173, 74, 13), false},
                             {"ipLabel", "QLabel", "127.0.0.1", r(192, 173, 134, 13)},
                             {"bottomLine", "QFrame", nullptr, r(89, 233, 460, 1)},
                             {"saveloadBtn", "QPushButton", "Save/Load Presets", r(131, 266, 132, 71)},
                             {"upateFirmwareBtn", "QPushButton", "Update Firmware", r(372, 266, 132, 71)},
                             {"lineM", "QPlainTextEdit", nullptr, r(675, 3, 401, 284)},
                             {"mcuType", "q48::RadioGroup", "DSP Select", {}},
                             {"DSPbtn1", "QPushButton", "DownLoad", {}},
                             {"btnClear", "QPushButton", "Clear", {}},
                             {"Label6", "QLabel", "Progress:", {}},
                             {"ProgressBar6", "QProgressBar", nullptr, {}},
                             {"Button4", "QPushButton", "Browser", {}},
                             {"edInput", "QPlainTextEdit", nullptr, {}},
                             {"Label1", "QLabel", "Input", {}},
                             {"GroupBox1", "QGroupBox", "Receive Below:", {}},
                             {"recever", "QPlainTextEdit", nullptr, {}},
                         });
    auto *tabs = form.findChild<QTabWidget *>(QStringLiteral("PageControl1"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Firware Update"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("GetFirWare From Remote"));
    auto *dsp = form.findChild<q48::RadioGroup *>(QStringLiteral("mcuType"));
    EXPECT_EQ(dsp->items(), (QStringList{QStringLiteral("DSP1"), QStringLiteral("DSP2")}));
    EXPECT_EQ(dsp->itemIndex(), 0);
    EXPECT_EQ(form.findChild<QProgressBar *>(QStringLiteral("ProgressBar6"))->maximum(), 100);
    EXPECT_EQ(form.width(), 947); // until shown
}

TEST(FormsTest, FirmwareWindow)
{
    q48::WindowRegistry registry;
    TFirmwareWindow form(registry);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("FirmwareWindow"));
    EXPECT_EQ(form.size(), QSize(735, 518));
    expectControls(form,
                   {
                       {"Bevel1", "QFrame", nullptr, r(0, 0, 735, 518)},
                       {"noteLB", "QLabel", "Firmware Update:", r(64, 66, 106, 16)},
                       {"stsLB", "QLabel", nullptr, r(173, 68, 268, 13), false},
                       {"pbar", "QProgressBar", nullptr, r(60, 88, 381, 30)},
                       {"btnTotal", "CSwitchButton", "Program", r(184, 124, 117, 53)},
                       {"txtSLB", "QLabel", "Device is Rebooting now,Wait....", r(27, 209, 577, 52), false},
                       {"upLine", "QFrame", nullptr, r(27, 267, 605, 1)},
                       {"RzLabel1", "QLabel", "Firmware Version:", r(54, 286, 86, 13), false},
                       {"fled2", "XLed", nullptr, r(71, 320, 19, 14)},
                       {"DSPLB1", "QLabel", nullptr, r(96, 320, 112, 13), false},
                       {"fled3", "XLed", nullptr, r(261, 320, 19, 14)},
                       {"DSPLB2", "QLabel", nullptr, r(286, 319, 112, 13), false},
                       {"fled0", "XLed", nullptr, r(71, 341, 19, 14)},
                       {"mcuLb", "QLabel", nullptr, r(96, 340, 112, 13), false},
                       {"fled1", "XLed", nullptr, r(261, 341, 19, 14)},
                       {"keyLb", "QLabel", nullptr, r(287, 339, 112, 13), false},
                   });
    for (int n = 0; n < 4; ++n) {
        auto *led = form.findChild<XLed *>(QStringLiteral("fled%1").arg(n));
        EXPECT_EQ(led->property("Tag").toInt(), n);
        EXPECT_EQ(led->brushColor(), QColor(0xa0, 0xa0, 0xa4));
    }
    EXPECT_EQ(form.findChild<CSwitchButton *>(QStringLiteral("btnTotal"))->dp_selectColor(),
              QColor(0, 255, 0));
    auto *gauge = form.findChild<QProgressBar *>(QStringLiteral("pbar"));
    EXPECT_EQ(gauge->maximum(), 98);
    EXPECT_EQ(gauge->palette().color(QPalette::Highlight), QColor(0, 225, 0));
}

TEST(FormsTest, PresetWindow)
{
    q48::WindowRegistry registry;
    q48::TData data;
    q48::test::FakePrompts prompts;
    TPrsetSaveLoadForm form(registry, data, prompts, nullptr);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Save/Load Presets Form"));
    EXPECT_EQ(form.size(), QSize(804, 543));
    expectControls(form,
                   {
                       {"RzLabel1", "QLabel", "Presets  list below:", r(8, 8, 1, 1), false},
                       {"RzPanel1", "QFrame", nullptr, r(8, 27, 550, 266)},
                       {"preList", "QListWidget", nullptr, r(11, 12, 518, 243)},
                       {"choosetypeP", "QFrame", nullptr, r(8, 299, 605, 63)},
                       {"presetTypeRadio", "q48::RadioGroup", nullptr, r(0, 0, 405, 50)},
                       {"chboxPanel", "QFrame", nullptr, r(411, 0, 185, 51)},
                       {"RzLabel4", "QLabel", "Channel:", {}},
                       {"chBx", "QComboBox", nullptr, {}},
                       {"RzLabel2", "QLabel", "Status:", r(52, 379, 1, 1), false},
                       {"stsEd", "QLineEdit", "Choose Mode Type: Scene", r(93, 374, 360, 21)},
                       {"cirBar", "q48::BusySpinner", nullptr, r(468, 356, 60, 60)},
                       {"chooseGp", "QGroupBox", "Choose from remote devie or local", r(32, 422, 516, 91)},
                       {"devTypeRadio", "q48::RadioGroup", nullptr, r(6, 21, 192, 50)},
                       {"loadBtn", "CSwitchButton", "Load", r(214, 34, 60, 35)},
                       {"deleteBtn", "CSwitchButton", "Delete", r(280, 34, 63, 35)},
                       {"saveBtn", "CSwitchButton", "Save", r(349, 35, 57, 35)},
                       {"recallBtn", "CSwitchButton", "Recall", r(412, 33, 66, 35)},
                       {"memImptBtn", "CSwitchButton", "Memory Import", r(629, 58, 149, 99)},
                       {"Label1", "QLabel", "Downloads all memory parameters\nfrom mixer to computer",
                        r(629, 163, 1, 1), false},
                       {"memExptBtn", "CSwitchButton", "Memory Export", r(629, 279, 149, 99)},
                       {"Label2", "QLabel", "Uploads all memory parameters\nfrom computer to mixer",
                        r(629, 384, 1, 1), false},
                       {"pbar", "QProgressBar", nullptr, r(0, 519, 804, 24)},
                   });
    auto *kinds = form.findChild<q48::RadioGroup *>(QStringLiteral("presetTypeRadio"));
    EXPECT_EQ(kinds->items(),
              (QStringList{QStringLiteral("Scene"), QStringLiteral("DSP Channel"), QStringLiteral("DFX1"),
                           QStringLiteral("DFX2"), QStringLiteral("GEQ")}));
    EXPECT_EQ(kinds->itemIndex(), 0);
    auto *device = form.findChild<q48::RadioGroup *>(QStringLiteral("devTypeRadio"));
    EXPECT_EQ(device->items(), (QStringList{QStringLiteral("Device"), QStringLiteral("Local Computer")}));
    EXPECT_EQ(device->itemIndex(), 0);
    EXPECT_FALSE(form.findChild<QComboBox *>(QStringLiteral("chBx"))->isEditable());
    EXPECT_TRUE(form.findChild<QLineEdit *>(QStringLiteral("stsEd"))->isReadOnly());
    for (const char *name : {"memImptBtn", "memExptBtn"})
        EXPECT_EQ(form.findChild<CSwitchButton *>(QLatin1String(name))->dp_selectColor(), QColor(0, 255, 0));

    const struct {
        const char *button;
        const char *hint;
    } hints[] = {
        {"saveBtn",
         "it will save preset as a name to device,before you should choose device\nand select a item as  "
         "position on the preset list box"},
        {"deleteBtn", "Delete preset from device,you must select a item from presetlist before"},
        {"loadBtn",
         "Load preset from device to local or Load preset from local to device\ncase when you choose "
         "device,you must select a item from the presetList"},
        {"recallBtn", "It will recall all the presets ,all type:dsp/geq/dfx/scene from device"},
    };
    for (const auto &h : hints)
        EXPECT_EQ(form.findChild<QWidget *>(QLatin1String(h.button))->toolTip(), QString::fromUtf8(h.hint))
            << h.button;
}

TEST(FormsTest, PresetNameDialog)
{
    q48::TData data;
    q48::test::FakePrompts prompts;
    TFPresetNameSave form(data, prompts);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("FPresetNameSave"));
    EXPECT_EQ(form.size(), QSize(263, 172));
    expectControls(
        form,
        {
            {"RzLabel2", "QLabel",
             "Noting\nInput a name for the preset choosed:\nwhich can't be null or contains -,/'. \\ etc",
             r(27, 11, 1, 1), false},
            {"RzLabel1", "QLabel", "InputName:", r(27, 80, 1, 1), false},
            {"edPstname", "QLineEdit", "", r(93, 77, 121, 21)},
            {"prestSaveBtn", "CSwitchButton", "OK", r(48, 129, 60, 28)},
            {"CSwitchButton2", "CSwitchButton", "Cancel", r(132, 129, 60, 28)},
        });
    EXPECT_EQ(form.findChild<QLineEdit *>(QStringLiteral("edPstname"))->maxLength(), 16);
}

TEST(FormsTest, AboutBox)
{
    TfmAbout form(q48::VersionInfo{});
    EXPECT_EQ(form.size(), QSize(381, 175));
    expectControls(form, {
                             {"aboutImg", "QLabel", nullptr, r(16, 22, 85, 79)},
                             {"ProductName", "QLabel", "Product Name :", {}},
                             {"Version", "QLabel", "SofterVersion :", {}},
                             {"StaticText1", "QLabel", nullptr, {}},
                             {"lbpro", "QLabel", nullptr, {}},
                             {"lbv", "QLabel", nullptr, {}},
                             {"compLabel", "QLabel", nullptr, {}},
                             {"netul", "QLabel", nullptr, {}},
                         });
    EXPECT_FALSE(form.findChild<QLabel *>(QStringLiteral("aboutImg"))->pixmap().isNull());
}

} // namespace

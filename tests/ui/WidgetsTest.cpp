#include "BusySpinner.h"
#include "CSwitchButton.h"
#include "RadioGroup.h"
#include "UiTestHelpers.h"
#include "XLed.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

const QColor kMedGray(0xa0, 0xa0, 0xa4);
const QColor kLime(0x00, 0xff, 0x00);

TEST(XLedTest, DefaultsAreTheLampColours)
{
    XLed led;
    EXPECT_EQ(led.dp_UnactiveColor(), kMedGray);
    EXPECT_EQ(led.dp_HoverColor(), QColor(Qt::red));
    EXPECT_EQ(led.dp_ActiveColor(), kLime);
    EXPECT_EQ(led.dp_LedStatus(), 0);
    EXPECT_FALSE(led.dp_active());
}

struct LedCase {
    const char *name;
    std::function<void(XLed &)> act;
    QColor brush;
    int status;
};

void PrintTo(const LedCase &c, std::ostream *os)
{
    *os << c.name;
}

class XLedRules : public ::testing::TestWithParam<LedCase> {};

TEST_P(XLedRules, StatusPicksTheBrush)
{
    XLed led;
    GetParam().act(led);
    EXPECT_EQ(led.brushColor(), GetParam().brush);
    EXPECT_EQ(led.dp_LedStatus(), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XLedRules,
    ::testing::Values(
        LedCase{"activeOn", [](XLed &l) { l.setActive(true); }, kLime, 2},
        LedCase{"activeOff", [](XLed &l) { l.setActive(true), l.setActive(false); }, kMedGray, 0},
        LedCase{"hover", [](XLed &l) { l.setLedStatus(1); }, QColor(Qt::red), 1},
        // An unknown status is kept but the lamp keeps the colour it had.
        LedCase{"unknownKeepsColour", [](XLed &l) { l.setLedStatus(2), l.setLedStatus(7); }, kLime, 7},
        LedCase{"byteWide", [](XLed &l) { l.setLedStatus(258); }, kLime, 2},
        LedCase{"newActiveColourRepaintsAtOnce",
                [](XLed &l) { l.setActive(true), l.setActiveColor(Qt::blue); }, QColor(Qt::blue), 2},
        LedCase{"otherStatesColourLeavesLamp",
                [](XLed &l) { l.setActive(true), l.setUnActiveColor(Qt::black); }, kLime, 2},
        LedCase{"newUnactiveColourOfDarkLamp",
                [](XLed &l) { l.setLedStatus(0), l.setUnActiveColor(Qt::black); }, QColor(Qt::black), 0},
        LedCase{"propertySetsActive", [](XLed &l) { l.setProperty("dp_active", true); }, kLime, 2}),
    [](const auto &info) { return std::string(info.param.name); });

struct ButtonCase {
    const char *name;
    std::function<void(CSwitchButton &)> act;
    bool faceIsSelectColour;
    int repaints;
};

void PrintTo(const ButtonCase &c, std::ostream *os)
{
    *os << c.name;
}

class SwitchButtonRules : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(SwitchButtonRules, FaceFollowsStateAndRestylesOnlyOnChange)
{
    CSwitchButton button;
    button.setUnSelectColor(Qt::white);
    button.setSelectColor(kLime);
    const int before = button.faceRepaintCount();
    QSignalSpy spy(&button, &CSwitchButton::faceRepainted);

    GetParam().act(button);

    EXPECT_EQ(button.faceColor(),
              GetParam().faceIsSelectColour ? button.dp_selectColor() : button.dp_unSelectColor());
    EXPECT_EQ(button.faceRepaintCount() - before, GetParam().repaints);
    EXPECT_EQ(spy.count(), GetParam().repaints);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwitchButtonRules,
    ::testing::Values(
        ButtonCase{"selectTwiceRepaintsOnce",
                   [](CSwitchButton &b) { b.setSelected(true), b.setSelected(true); }, true, 1},
        ButtonCase{"unselectedStaysQuiet", [](CSwitchButton &b) { b.setSelected(false); }, false, 0},
        ButtonCase{"selectThenClear", [](CSwitchButton &b) { b.setSelected(true), b.setSelected(false); },
                   false, 2},
        // A new select colour while unselected restyles, but with the unselected face.
        ButtonCase{"selectColourWhileUnselected", [](CSwitchButton &b) { b.setSelectColor(Qt::red); }, false,
                   1},
        ButtonCase{"sameColourIsNoChange", [](CSwitchButton &b) { b.setSelectColor(kLime); }, false, 0},
        ButtonCase{"selectColourWhileSelected",
                   [](CSwitchButton &b) { b.setSelected(true), b.setSelectColor(Qt::red); }, true, 2},
        ButtonCase{"unselectColourWhileSelected",
                   [](CSwitchButton &b) { b.setSelected(true), b.setUnSelectColor(Qt::yellow); }, true, 2},
        ButtonCase{"propertySelects", [](CSwitchButton &b) { b.setProperty("dp_isSelected", true); }, true,
                   1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SwitchButtonTest, DefaultsToButtonFaceAndRed)
{
    CSwitchButton button;
    EXPECT_EQ(button.dp_unSelectColor(), button.palette().color(QPalette::Button));
    EXPECT_EQ(button.dp_selectColor(), QColor(Qt::red));
    EXPECT_FALSE(button.dp_isSelected());
}

TEST(SwitchButtonTest, ClicksStillWork)
{
    CSwitchButton button(QStringLiteral("Program"));
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(RadioGroupTest, IndexSetBeforeItemsIsKept)
{
    // Designer forms set the index first and the translatable items afterwards.
    q48::RadioGroup group;
    group.setItemIndex(1);
    group.setColumns(2);
    group.setItems({QStringLiteral("Device"), QStringLiteral("Local Computer")});
    EXPECT_EQ(group.itemIndex(), 1);

    group.setItems({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    EXPECT_EQ(group.itemIndex(), 1);
    group.setItemIndex(-1);
    EXPECT_EQ(group.itemIndex(), -1);
}

TEST(RadioGroupTest, ClickReportsTheItem)
{
    q48::RadioGroup group;
    group.setItems({QStringLiteral("Scene"), QStringLiteral("DSP Channel"), QStringLiteral("DFX1")});
    group.setItemIndex(0);
    QSignalSpy clicked(&group, &q48::RadioGroup::itemClicked);
    group.button(2)->click();
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toInt(), 2);
    EXPECT_EQ(group.itemIndex(), 2);

    group.setItemIndex(1); // set by the program, not the user
    EXPECT_EQ(clicked.count(), 1);
}

TEST(BusySpinnerTest, TurnsOnlyWhileShownAndEnabled)
{
    q48::BusySpinner spinner;
    EXPECT_EQ(spinner.interval(), 100);
    spinner.setInterval(10);
    EXPECT_FALSE(spinner.isSpinning());

    spinner.show();
    EXPECT_TRUE(spinner.isSpinning());
    EXPECT_TRUE(q48::test::waitFor([&] { return spinner.position() != 0; }));

    spinner.setEnabled(false);
    EXPECT_FALSE(spinner.isSpinning());
    spinner.setEnabled(true);
    spinner.hide();
    EXPECT_FALSE(spinner.isSpinning());
}

} // namespace

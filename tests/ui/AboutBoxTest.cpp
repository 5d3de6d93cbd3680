#include "AppTitle.h"
#include "TfmAbout.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace {

TEST(AboutBoxTest, ShowsTheVersionFileValues)
{
    q48::VersionInfo info;
    info.appName = QStringLiteral("Stage Mixer Tool");
    info.appVer = QStringLiteral("V2.3");
    info.compName = QStringLiteral("Example Audio Ltd.");
    info.appUrl = QStringLiteral("https://example.com/q48");
    q48::setApplicationTitle(info.caption());

    TfmAbout about(info);
    about.show();
    const auto text = [&](const char *name) {
        return about.findChild<QLabel *>(QLatin1String(name))->text();
    };
    EXPECT_EQ(text("lbpro"), info.appName);
    EXPECT_EQ(text("lbv"), info.appVer);
    EXPECT_EQ(text("compLabel"), info.compName);
    EXPECT_EQ(text("netul"), info.appUrl);
    EXPECT_EQ(text("ProductName"), QStringLiteral("Product Name :"));
    EXPECT_EQ(text("Version"), QStringLiteral("SofterVersion :"));
    EXPECT_FALSE(text("StaticText1").isEmpty());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Stage Mixer Tool V2.3"));
    EXPECT_TRUE(about.findChild<QLabel *>(QStringLiteral("netul"))->font().underline());
    q48::setApplicationTitle(QStringLiteral("Q48UpdateTool"));
}

TEST(AboutBoxTest, OnlyWebAddressesAreOpened)
{
    const struct {
        const char *address;
        bool opens;
    } cases[] = {
        {"https://www.example.com", true}, {"http://example.com/support", true},
        {"www.example.com", true},         {"file:///usr/bin/xterm", false},
        {"/usr/bin/xterm", false},         {"C:\\Windows\\System32\\cmd.exe", false},
        {"javascript:alert(1)", false},    {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TfmAbout::isOpenableAddress(QString::fromUtf8(c.address)), c.opens) << c.address;
}

} // namespace

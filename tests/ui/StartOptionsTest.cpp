#include "StartOptions.h"

#include <gtest/gtest.h>

namespace {

QStringList args(std::initializer_list<const char *> list)
{
    QStringList out{QStringLiteral("q48tool")};
    for (const char *a : list)
        out << QString::fromUtf8(a);
    return out;
}

TEST(StartOptionsTest, DefaultsAreTheDocumentedEndpoints)
{
    QString error, help;
    const auto options = q48::parseStartOptions(args({}), &error, &help);
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->engineering);
    EXPECT_EQ(options->endpoints.searchAddress, QStringLiteral("255.255.255.255"));
    EXPECT_EQ(options->endpoints.searchPort, 8000);
    EXPECT_EQ(options->endpoints.udpPort, 8000);
    EXPECT_EQ(options->endpoints.tcpPort, 5000);
    EXPECT_FALSE(options->endpoints.serialPorts.has_value());
}

TEST(StartOptionsTest, OverridesForLoopbackRuns)
{
    QString error, help;
    const auto options = q48::parseStartOptions(
        args({"--engineering", "--search-address", "127.0.0.1", "--search-port", "18000", "--udp-port=0",
              "--tcp-port", "15000", "--serial-ports", "/tmp/a, /tmp/b"}),
        &error, &help);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_TRUE(options->engineering);
    EXPECT_EQ(options->endpoints.searchAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(options->endpoints.searchPort, 18000);
    EXPECT_EQ(options->endpoints.udpPort, 0); // any free port
    EXPECT_EQ(options->endpoints.tcpPort, 15000);
    EXPECT_EQ(options->endpoints.serialPorts,
              (QStringList{QStringLiteral("/tmp/a"), QStringLiteral("/tmp/b")}));
}

TEST(StartOptionsTest, EmptySerialListProbesNone)
{
    QString error, help;
    const auto options = q48::parseStartOptions(args({"--serial-ports="}), &error, &help);
    ASSERT_TRUE(options);
    ASSERT_TRUE(options->endpoints.serialPorts.has_value());
    EXPECT_TRUE(options->endpoints.serialPorts->isEmpty());
}

// The endpoint values themselves are the core parser's; here only that the window's options
// reach it and its errors come back.
TEST(StartOptionsTest, BadValuesNameTheOption)
{
    const struct {
        std::initializer_list<const char *> argv;
        const char *mentions;
    } cases[] = {
        {{"--tcp-port", "0"}, "--tcp-port"},
        {{"--search-address", "mixer.local"}, "--search-address"},
        {{"--engineering=yes"}, "engineering"},
        {{"--no-such-option"}, "no-such-option"},
        {{"stray"}, "stray"},
    };
    for (const auto &c : cases) {
        QString error, help;
        EXPECT_FALSE(q48::parseStartOptions(args(c.argv), &error, &help)) << c.mentions;
        EXPECT_TRUE(error.contains(QLatin1String(c.mentions))) << error.toStdString();
        EXPECT_TRUE(help.isEmpty());
    }
}

TEST(StartOptionsTest, HelpIsNotAnError)
{
    QString error, help;
    EXPECT_FALSE(q48::parseStartOptions(args({"--help"}), &error, &help));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(help.contains(QLatin1String("--serial-ports")));
}

} // namespace

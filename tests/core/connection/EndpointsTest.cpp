#include "connection/Endpoints.h"

#include <QCommandLineParser>
#include <gtest/gtest.h>

namespace q48 {
namespace {

DiscoveryEndpoints parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    addEndpointOptions(parser);
    EXPECT_TRUE(parser.parse(QStringList{QStringLiteral("q48")} + arguments))
        << parser.errorText().toStdString();
    return endpointsFromParser(parser, error);
}

TEST(EndpointOptions, DefaultsAreTheMixersOwn)
{
    QString error = QStringLiteral("stale");
    const DiscoveryEndpoints endpoints = parse({}, &error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(endpoints.searchAddress, QStringLiteral("255.255.255.255"));
    EXPECT_EQ(endpoints.searchPort, 8000);
    EXPECT_EQ(endpoints.udpPort, 8000);
    EXPECT_EQ(endpoints.tcpPort, 5000);
    EXPECT_FALSE(endpoints.serialPorts.has_value());
}

TEST(EndpointOptions, EveryOptionIsRead)
{
    QString error;
    const DiscoveryEndpoints endpoints =
        parse({"--search-address", " 127.0.0.1 ", "--search-port", "9000", "--udp-port", "0", "--tcp-port",
               "5001", "--serial-ports", "/tmp/a, /tmp/b,,COM3"},
              &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(endpoints.searchAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(endpoints.searchPort, 9000);
    EXPECT_EQ(endpoints.udpPort, 0);
    EXPECT_EQ(endpoints.tcpPort, 5001);
    EXPECT_EQ(endpoints.serialPorts, (QStringList{"/tmp/a", "/tmp/b", "COM3"}));
}

TEST(EndpointOptions, EmptySerialListMeansNoSweep)
{
    QString error;
    const DiscoveryEndpoints endpoints = parse({"--serial-ports", ""}, &error);
    ASSERT_TRUE(endpoints.serialPorts.has_value());
    EXPECT_TRUE(endpoints.serialPorts->isEmpty());
}

struct BadOption {
    QStringList arguments;
    const char *option;
};

class EndpointOptionErrors : public ::testing::TestWithParam<BadOption> {};

TEST_P(EndpointOptionErrors, NameTheOptionAndFallBackToDefaults)
{
    QString error;
    const DiscoveryEndpoints endpoints = parse(GetParam().arguments, &error);
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().option))) << error.toStdString();
    EXPECT_EQ(endpoints.tcpPort, 5000);
    EXPECT_EQ(endpoints.searchAddress, QStringLiteral("255.255.255.255"));
}

INSTANTIATE_TEST_SUITE_P(Cases, EndpointOptionErrors,
                         ::testing::Values(BadOption{{"--search-address", "mixer.local"}, "--search-address"},
                                           BadOption{{"--search-address", "256.1.1.1"}, "--search-address"},
                                           BadOption{{"--search-address", "::1"}, "--search-address"},
                                           BadOption{{"--search-port", "0"}, "--search-port"},
                                           BadOption{{"--search-port", "65536"}, "--search-port"},
                                           BadOption{{"--udp-port", "-1"}, "--udp-port"},
                                           BadOption{{"--udp-port", "80x"}, "--udp-port"},
                                           BadOption{{"--tcp-port", "0"}, "--tcp-port"},
                                           BadOption{{"--tcp-port", ""}, "--tcp-port"}));

} // namespace
} // namespace q48

#include "DiscoveryTestSupport.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

namespace q48 {
namespace {

// The discovery half runs in a copy of this program started inside the first namespace.
const char *const kInnerVariable = "Q48_NETNS_INNER";
const QString kSimAddress = QStringLiteral("10.248.0.2");

// Two network namespaces joined by a veth pair, made for one test and always removed again,
// so the default broadcast search can run without reaching any real network.
class NamespacePair {
public:
    NamespacePair()
    {
        const QString tag = QString::number(QCoreApplication::applicationPid());
        m_a = QStringLiteral("q48disc-a-") + tag;
        m_b = QStringLiteral("q48disc-b-") + tag;
        const QString vethA = QStringLiteral("q48va") + tag.right(8);
        const QString vethB = QStringLiteral("q48vb") + tag.right(8);
        const QList<QStringList> steps{
            {"netns", "add", m_a},
            {"netns", "add", m_b},
            {"link", "add", vethA, "type", "veth", "peer", "name", vethB},
            {"link", "set", vethA, "netns", m_a},
            {"link", "set", vethB, "netns", m_b},
            {"-n", m_a, "addr", "add", "10.248.0.1/24", "dev", vethA},
            {"-n", m_b, "addr", "add", kSimAddress + "/24", "dev", vethB},
            {"-n", m_a, "link", "set", "lo", "up"},
            {"-n", m_b, "link", "set", "lo", "up"},
            {"-n", m_a, "link", "set", vethA, "up"},
            {"-n", m_b, "link", "set", vethB, "up"},
            // The limited broadcast needs a route to leave by.
            {"-n", m_a, "route", "add", "default", "dev", vethA},
        };
        for (const QStringList &step : steps) {
            if (!ip(step)) {
                m_error = QStringLiteral("ip %1 failed").arg(step.join(QLatin1Char(' ')));
                return;
            }
        }
    }
    ~NamespacePair()
    {
        // Removing a namespace removes its end of the veth pair, and with it the other end.
        ip({"netns", "del", m_a});
        ip({"netns", "del", m_b});
    }
    NamespacePair(const NamespacePair &) = delete;
    NamespacePair &operator=(const NamespacePair &) = delete;

    QString error() const { return m_error; }
    QString a() const { return m_a; }
    QString b() const { return m_b; }

    static bool ip(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral("ip"), arguments);
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(2000);
            return false;
        }
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

private:
    QString m_a, m_b, m_error;
};

bool waitForLine(QProcess &process, const QByteArray &line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        while (process.canReadLine())
            if (process.readLine().trimmed() == line)
                return true;
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(int(qMax<qint64>(1, qMin<qint64>(deadline.remainingTime(), 200))));
    }
    return false;
}

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

TEST(NetworkNamespace, DefaultBroadcastSearchFindsTheSimulatorNextDoor)
{
    if (qEnvironmentVariableIsSet(kInnerVariable))
        GTEST_SKIP() << "this is the inner run";
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty())
        GTEST_SKIP() << "needs root and the ip tool to make network namespaces";
    NamespacePair namespaces;
    if (!namespaces.error().isEmpty())
        GTEST_SKIP() << "cannot make network namespaces here: " << namespaces.error().toStdString();

    // The simulator with the mixer's own ports, listening on every address of its namespace.
    QProcess sim;
    sim.start(QStringLiteral("ip"), {"netns", "exec", namespaces.b(), test::SimProcess::binaryPath(),
                                     "--bind", "0.0.0.0", "--tcp-port", "5000", "--udp-port", "8000"});
    ASSERT_TRUE(waitForLine(sim, "ready", 10000)) << sim.readAllStandardError().toStdString();

    QProcess inner;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kInnerVariable), QStringLiteral("1"));
    inner.setProcessEnvironment(environment);
    inner.setProcessChannelMode(QProcess::MergedChannels);
    inner.start(QStringLiteral("ip"),
                {"netns", "exec", namespaces.a(), QCoreApplication::applicationFilePath(),
                 "--gtest_filter=NetworkNamespace.Inner*"});
    const bool finished = inner.waitForFinished(60000);
    if (!finished)
        stopProcess(inner);
    stopProcess(sim);
    const QByteArray output = inner.readAll();
    EXPECT_TRUE(finished);
    EXPECT_EQ(inner.exitCode(), 0) << output.toStdString();
    // A skip inside would exit 0 as well.
    EXPECT_TRUE(output.contains("[       OK ] NetworkNamespace.InnerDiscoveryWithDefaultEndpoints"))
        << output.toStdString();
}

TEST(NetworkNamespace, InnerDiscoveryWithDefaultEndpoints)
{
    if (!qEnvironmentVariableIsSet(kInnerVariable))
        GTEST_SKIP() << "runs only inside the namespace made by the test above";
    DiscoveryEndpoints endpoints;    // 255.255.255.255:8000 from port 8000, TCP 5000
    endpoints.serialPorts.emplace(); // no serial sweep
    Discovery discovery(endpoints, test::fastTimings());
    discovery.startDiscovery();
    discovery.startProbing();
    ASSERT_NE(discovery.searchSocketPort(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return discovery.deviceFound(); }, 20000));
    EXPECT_EQ(discovery.foundDeviceList(), QStringList{kSimAddress});
    EXPECT_EQ(discovery.linkKind(), 1);
    discovery.stop();
}

} // namespace
} // namespace q48

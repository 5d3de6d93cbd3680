// A whole session through the core ends with every worker joined: what a sanitizer run's leak
// check at exit needs, and what closing the program relies on. The leak check itself is the
// sanitizer build's (detect_leaks=1 over this program); these tests make sure no thread of ours
// is left running to hold memory past the end.

#include "FaultFixture.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace q48::test {
namespace {

// Qt's own helpers, started on first use and kept for the life of the process: the system
// proxy lookup behind every socket connect, and the global thread pool.
bool isQtHelper(const QString &name)
{
    return name.startsWith(QLatin1String("QLibProxyWrappe")) || name == QLatin1String("Thread (pooled)");
}

// The threads of this process but Qt's helpers, as "tid name".
QSet<QString> threadsNow()
{
    QSet<QString> threads;
#ifdef Q_OS_LINUX
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromLocal8Bit(comm.readAll().trimmed());
        if (!isQtHelper(name))
            threads.insert(tid + QLatin1Char(' ') + name);
    }
#endif
    return threads;
}

QString describe(const QSet<QString> &threads)
{
    QStringList list(threads.begin(), threads.end());
    list.sort();
    return list.join(QStringLiteral(", "));
}

// A joined QThread's system thread may take a moment more to vanish from the list.
::testing::AssertionResult exitsSoon(const QSet<QString> &before)
{
    if (QTest::qWaitFor([&] { return threadsNow() == before; }, 5000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "still running: " << describe(threadsNow() - before).toStdString();
}

class Session : public FaultFixture {
protected:
    void SetUp() override
    {
#ifndef Q_OS_LINUX
        GTEST_SKIP() << "threads are listed from /proc";
#endif
    }
};

TEST_F(Session, WholeSessionLeavesNoThreadRunningAfterShutdown)
{
    startSim({});
    const QSet<QString> before = threadsNow();
    makeCore();
    findAndConnect(); // the name lists come with the connection
    prompts.saveAnswer = outPath(QStringLiteral("memory.ept"));
    ASSERT_TRUE(core->memory.memExptBtnClick());
    ASSERT_TRUE(waitFor([this] { return !exports.isEmpty(); })) << sim->output().toStdString();
    EXPECT_TRUE(exports[0].first.ok()) << exports[0].first.error.toStdString();
    program([this] { return run->isFinished(); }, 60000);
    EXPECT_EQ(outcomes, (QList<QPair<int, int>>{{0, 1}, {1, 1}, {2, 1}, {3, 1}}));

    core->shutdown();
    EXPECT_TRUE(exitsSoon(before));
}

// Closing at once after the window showed: the serial sweep and the image check are both still
// at work, and shutdown must not return before they have ended.
TEST_F(Session, ShutdownJoinsTheSweepAndTheImageCheckStillAtWork)
{
    const QSet<QString> before = threadsNow();
    QTemporaryDir ports;
    ServiceCore::Options options;
    options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
    options.endpoints.udpPort = 0;
    // A port that does not exist: the sweep runs without touching the machine's own.
    options.endpoints.serialPorts = QStringList{ports.filePath(QStringLiteral("ttyQ48"))};
    const ImageLib images({kMaxImageFileSize, kMaxImageFileSize, kMaxImageFileSize, kMaxImageFileSize});
    options.libDir = images.path();
    options.outputDir = out.path();
    ServiceCore session(prompts, options);
    session.startDiscovery();
    session.startProbingAndLoad();
    EXPECT_NE(threadsNow(), before) << "the workers should have started";

    session.shutdown();
    EXPECT_FALSE(session.discovery.isSweepRunning());
    EXPECT_FALSE(session.images.isCheckRunning());
    EXPECT_TRUE(exitsSoon(before));
}

} // namespace
} // namespace q48::test

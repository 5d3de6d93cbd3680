#include "CliFixture.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace q48::test;

namespace {

using CliProgress = CliFixture;

QStringList exportArgs(const CliFixture &, const QString &path)
{
    return {QStringLiteral("memory"), QStringLiteral("export"), QStringLiteral("-o"), path,
            QStringLiteral("--yes")};
}

TEST_F(CliProgress, PipedProgressIsPlainLines)
{
    startSim({QStringLiteral("--fault"), QStringLiteral("stream-delay:20")});
    const CliRun r = run(exportArgs(*this, file(QStringLiteral("m.ept"))) + device());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QLatin1Char('\r')));
    EXPECT_FALSE(r.err.contains(QStringLiteral("\x1b[")));
    const QRegularExpression line(QStringLiteral("^memory export  packet (\\d+)/30  (\\d+)%"));
    int lines = 0;
    for (const QString &l : r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
        ++lines;
    }
    // One per tenth, start and end included.
    EXPECT_EQ(lines, 11);
}

TEST_F(CliProgress, TerminalProgressRedrawsOneLine)
{
    startSim({QStringLiteral("--fault"), QStringLiteral("stream-delay:20")});
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setStandardErrorFile(QString::fromLatin1(name));
    process.start(ctlPath(), exportArgs(*this, file(QStringLiteral("m.ept"))) + device());
    QByteArray seen;
    QDeadlineTimer deadline(60000);
    bool finished = false;
    while (!deadline.hasExpired() && !finished) {
        finished = process.waitForFinished(20);
        char buffer[4096];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
            seen.append(buffer, n);
    }
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    close(slave);
    close(master);
    ASSERT_TRUE(finished);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(seen.contains("\rmemory export  packet ")) << seen.toStdString();
    EXPECT_TRUE(seen.contains("\x1b[K"));
    EXPECT_TRUE(seen.contains("ETA "));
    EXPECT_TRUE(seen.contains("/s"));
    // Redrawn in place: far fewer line ends than redraws, and throttled to 10 a second.
    EXPECT_LE(seen.count('\n'), 2);
    EXPECT_GE(seen.count('\r'), 3);
    EXPECT_LE(seen.count('\r'), 30);
}

} // namespace

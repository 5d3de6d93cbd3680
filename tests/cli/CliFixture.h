#pragma once

#include "SimProcess.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace q48::test {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;

    // Every stdout line as a JSON object; a line that is not one fails the test.
    QList<QJsonObject> json() const
    {
        QList<QJsonObject> list;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_TRUE(doc.isObject()) << "not JSON: " << line.toStdString();
            list << doc.object();
        }
        return list;
    }
};

// Runs the real q48ctl against a q48-sim on loopback, with a lib folder of its own.
class CliFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;

    static QString ctlPath() { return QStringLiteral(Q48_BIN_DIR "/q48ctl"); }
    QString lib() const { return dir.filePath(QStringLiteral("lib")); }
    QString file(const QString &name) const { return dir.filePath(name); }

    void startSim(const QStringList &args = {}, bool serial = false)
    {
        sim = std::make_unique<SimProcess>(args);
        if (serial)
            sim->enableSerial();
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    }

    QStringList device() const
    {
        return {QStringLiteral("--device"), QStringLiteral("127.0.0.1:%1").arg(sim->tcpPort()),
                QStringLiteral("--lib"), lib()};
    }

    // Bounded: the process is killed if it outlives the wait.
    CliRun run(const QStringList &args, int timeoutMs = 60000, const QString &stderrFile = {})
    {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        if (!stderrFile.isEmpty())
            process.setStandardErrorFile(stderrFile);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(ctlPath(), args);
        CliRun result;
        if (!process.waitForStarted(10000))
            return result;
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(5000);
            ADD_FAILURE() << "q48ctl did not finish: " << args.join(QLatin1Char(' ')).toStdString();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // Four small images of the given sizes in the lib folder.
    void writeImages(int size = 5000)
    {
        QDir().mkpath(lib());
        const char *ids[] = {"MB0126001505", "KB0122001505", "DA0120001505", "DB0120001505"};
        for (int i = 0; i < 4; ++i) {
            QByteArray bytes(size, '\0');
            for (int k = 0; k < size; ++k)
                bytes[k] = char((k * 31 + i * 7) & 0xFF);
            QFile f(QDir(lib()).filePath(QLatin1String(ids[i])));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    }

    QList<QJsonObject> framesWithCommand(int command) const
    {
        QList<QJsonObject> list;
        for (const QJsonObject &f : sim->recordedFrames())
            if (f.value(QStringLiteral("command")).toInt() == command)
                list << f;
        return list;
    }
};

} // namespace q48::test

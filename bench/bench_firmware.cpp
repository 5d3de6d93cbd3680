// A full four-image firmware run against q48-sim over loopback TCP: four images of 256 KiB
// (1024 packets of 1040 bytes), no reboot wait and no pauses, so the figure is the transfer
// itself. Needs q48-sim beside this program.

#include "UserPrompts.h"
#include "firmware/FirmwareDisplay.h"
#include "firmware/FirmwareProgrammer.h"
#include "firmware/FirmwareRun.h"
#include "firmware/ImageLoader.h"
#include "firmware/ImageStore.h"
#include "link/LinkCore.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kImageBytes = 256 * 1024;
constexpr int kPacketsPerRun = 4 * kImageBytes / 1024;

class SilentPrompts : public q48::UserPrompts {
public:
    bool askYesNo(const QString &, const QString &) override { return true; }
    QString saveFileName(const QString &) override { return {}; }
    QString openFileName(const QString &) override { return {}; }
    void message(const QString &text, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

class NoDisplay : public q48::FirmwareDisplay {
public:
    void showStatus(const QString &) override {}
    void hideStatus() override {}
    void showLed(int) override {}
    void setGaugeMaximum(int value) override { m_maximum = value; }
    int gaugeMaximum() const override { return m_maximum; }
    void setGaugeProgress(int) override {}
    void showCountdown(bool) override {}
    void setCountdownSeconds(int) override {}

private:
    int m_maximum = 0;
};

// Starts q48-sim on a free loopback port; 0 when it did not come up.
quint16 startSim(QProcess &sim)
{
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/q48-sim"),
              {QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--tcp-port"),
               QStringLiteral("0"), QStringLiteral("--no-udp"), QStringLiteral("--reboot-seconds"),
               QStringLiteral("0")});
    quint16 port = 0;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() &&
           sim.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
        while (sim.canReadLine()) {
            const QString line = QString::fromUtf8(sim.readLine()).trimmed();
            if (line.startsWith(QLatin1String("tcp ")))
                port = quint16(line.section(QLatin1Char(':'), -1).toUInt());
            else if (line == QLatin1String("ready"))
                return port;
        }
    }
    return 0;
}

void stopSim(QProcess &sim)
{
    sim.terminate();
    if (!sim.waitForFinished(5000)) {
        sim.kill();
        sim.waitForFinished(5000);
    }
}

void BM_FirmwareRun(benchmark::State &state)
{
    QTemporaryDir lib;
    for (int i = 0; i < q48::kImageCount; ++i) {
        QFile file(q48::ImageStore::imagePath(lib.path(), i));
        QByteArray bytes(kImageBytes + 2, '\0');
        for (int k = 0; k < bytes.size(); ++k)
            bytes[k] = char((k * 31 + i) & 0x7F);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            state.SkipWithError("cannot write the image files");
            return;
        }
    }
    SilentPrompts prompts;
    q48::ImageLoader loader;
    loader.startImageCheck(lib.path());
    loader.waitForCheck();

    double totalSeconds = 0;
    for (auto _ : state) {
        QProcess sim;
        const quint16 port = startSim(sim);
        if (port == 0) {
            stopSim(sim);
            state.SkipWithError("q48-sim did not start");
            return;
        }
        q48::LinkCore core(prompts);
        core.openLink(q48::LinkCore::TcpLink, QStringLiteral("127.0.0.1:%1").arg(port));
        const QDeadlineTimer connectBy(5000);
        while (!core.isLinkConnected() && !connectBy.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

        q48::FirmwareProgrammer programmer(core, prompts, loader);
        programmer.registerHandlers(core.dispatcher());
        NoDisplay display;
        q48::FirmwareRun run(programmer, display);
        q48::FirmwareRun::Timings timings;
        timings.rebootDelayMs = 0;
        timings.imagePauseMs = 0;
        timings.failurePauseMs = 0;
        run.setTimings(timings);
        q48::WindowRegistration window(core.windows(), q48::kFirmwareWindowClass, &run);

        QElapsedTimer clock;
        clock.start();
        const bool started = run.program();
        const QDeadlineTimer giveUpBy(120000);
        while (started && !run.isFinished() && !giveUpBy.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        const bool allDone =
            run.isFinished() &&
            run.imageStates() == std::array<q48::FirmwareRun::ImageState, 4>{
                                     q48::FirmwareRun::programmed, q48::FirmwareRun::programmed,
                                     q48::FirmwareRun::programmed, q48::FirmwareRun::programmed};
        core.releaseLink();
        stopSim(sim);
        if (!allDone) {
            state.SkipWithError("the run did not complete");
            return;
        }
        state.SetIterationTime(seconds);
        totalSeconds += seconds;
    }
    state.counters["packets/s"] =
        benchmark::Counter(double(kPacketsPerRun) * double(state.iterations()), benchmark::Counter::kIsRate);
    if (state.iterations() > 0) {
        const double perRun = totalSeconds / double(state.iterations());
        std::printf("firmware_run: %.0f packets/s, %.2f s for %d packets in 4 images\n",
                    kPacketsPerRun / perRun, perRun, kPacketsPerRun);
    }
}
BENCHMARK(BM_FirmwareRun)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// A whole memory export and import against q48-sim over loopback TCP, by the tool's core (with
// its .ept file save and read) and by the floor client, interleaved in the same run.
// Needs q48-sim beside this program.

#include "BenchSim.h"
#include "FloorClient.h"
#include "UserPrompts.h"
#include "link/LinkCore.h"
#include "presets/MemoryFiles.h"
#include "presets/MemoryImage.h"
#include "presets/MemoryTransfer.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class FilePrompts : public q48::UserPrompts {
public:
    QString file;
    bool askYesNo(const QString &, const QString &) override { return true; }
    QString saveFileName(const QString &) override { return file; }
    QString openFileName(const QString &) override { return file; }
    void message(const QString &text, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The loop a wait runs in; the signal handlers end it as soon as their event came.
QEventLoop *waiting = nullptr;

// Sleeps in an event loop until `done`, as the program does, so the bench spins no core.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    waiting = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    waiting = nullptr;
    return done();
}

void wake()
{
    if (waiting)
        waiting->quit();
}

struct Figures {
    std::vector<double> toolExport, toolImport, floorExport, floorImport;
} figures;

void BM_MemoryTcp(benchmark::State &state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        q48::bench::BenchSim sim;
        if (!sim.start({})) {
            state.SkipWithError("q48-sim did not start");
            return;
        }
        FilePrompts prompts;
        prompts.file = dir.filePath(QStringLiteral("bench.ept"));
        q48::LinkCore core(prompts);
        q48::MemoryImage image;
        q48::MemoryFiles files(prompts);
        q48::MemoryTransfer transfer(core, core.notifier(), prompts, image, files);
        transfer.registerHandlers(core.dispatcher());
        bool exported = false;
        bool imported = false;
        QObject::connect(&transfer, &q48::MemoryTransfer::exportFinished,
                         [&](const q48::FileResult &r, const QList<int> &missing) {
                             exported = r.ok() && missing.isEmpty();
                             wake();
                         });
        QObject::connect(&transfer, &q48::MemoryTransfer::importFinished, [&] {
            imported = true;
            wake();
        });
        QObject::connect(&core, &q48::LinkCore::linkUp, [] { wake(); });
        core.openLink(q48::LinkCore::TcpLink, sim.tcpTarget());
        if (!waitUntil([&] { return core.isLinkConnected(); }, 5000)) {
            state.SkipWithError("no link to q48-sim");
            return;
        }

        QElapsedTimer clock;
        clock.start();
        transfer.memExptBtnClick();
        const bool exportDone = waitUntil([&] { return exported; }, 30000);
        const double exportSeconds = double(clock.nsecsElapsed()) / 1e9;
        clock.restart();
        transfer.memImptBtnClick();
        const bool importDone = waitUntil([&] { return imported; }, 30000);
        const double importSeconds = double(clock.nsecsElapsed()) / 1e9;
        core.releaseLink();
        sim.stop();

        q48::bench::BenchSim floorSim;
        if (!floorSim.start({})) {
            state.SkipWithError("q48-sim did not start");
            return;
        }
        q48::bench::FloorClient floor;
        std::vector<std::vector<std::uint8_t>> packets;
        bool floorDone = floor.connectTcp(floorSim.tcpPort());
        clock.restart();
        floorDone = floorDone && floor.exportMemory(packets);
        const double floorExportSeconds = double(clock.nsecsElapsed()) / 1e9;
        clock.restart();
        floorDone = floorDone && floor.importMemory(packets);
        const double floorImportSeconds = double(clock.nsecsElapsed()) / 1e9;

        if (!exportDone || !importDone || !floorDone) {
            state.SkipWithError(!floorDone ? "the floor's transfer did not complete"
                                           : "the tool's transfer did not complete");
            return;
        }
        state.SetIterationTime(exportSeconds + importSeconds);
        figures.toolExport.push_back(exportSeconds);
        figures.toolImport.push_back(importSeconds);
        figures.floorExport.push_back(floorExportSeconds);
        figures.floorImport.push_back(floorImportSeconds);
    }
}
BENCHMARK(BM_MemoryTcp)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!figures.toolExport.empty()) {
        std::printf("export_tcp_ms: %.1f ms\n", 1000 * median(figures.toolExport));
        std::printf("export_tcp_floor_ms: %.1f ms\n", 1000 * median(figures.floorExport));
        std::printf("import_tcp_ms: %.1f ms\n", 1000 * median(figures.toolImport));
        std::printf("import_tcp_floor_ms: %.1f ms\n", 1000 * median(figures.floorImport));
    }
    return 0;
}

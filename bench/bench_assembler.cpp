// Throughput of the receive assembler on a recorded stream of the mixer's traffic: short
// replies, name lists, presets, memory packets, DSP read-back, with some line noise between.

#include "link/CommandCodes.h"
#include "link/FrameAssembler.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

#include <cstdio>
#include <random>

namespace {

QByteArray frame(int command, int subCode, int size, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> byte(0x02, 0xFF); // payload that cannot start a frame
    QByteArray f(size, '\0');
    for (char &c : f)
        c = char(byte(rng));
    f[0] = 0x01;
    f[1] = 0x20;
    f[2] = 0x03;
    f[3] = char(size <= 255 ? size : 0x10);
    f[4] = 0x00;
    f[5] = 0x01;
    f[6] = 0x00;
    f[7] = 0x01;
    f[8] = char(command);
    f[9] = char(subCode);
    f[size - 1] = 0x40;
    return f;
}

// About 4 MB, the same every run.
const QByteArray &recordedStream()
{
    static const QByteArray stream = [] {
        std::mt19937 rng(48);
        std::uniform_int_distribution<int> pick(0, 99);
        std::uniform_int_distribution<int> noise(0x02, 0xFF);
        QByteArray out;
        while (out.size() < 4 * 1024 * 1024) {
            const int p = pick(rng);
            if (p < 30)
                out += frame(q48::CMD_FW_DATA, 2, 15, rng);
            else if (p < 40)
                out += frame(q48::CMD_MEMORY_IMPORT_ACK, 4, 12, rng);
            else if (p < 50)
                out += frame(q48::CMD_PRESET_LIST, 1 + p % 4, q48::kPresetListFrameSize[1 + p % 4], rng);
            else if (p < 60)
                out += frame(q48::CMD_READ_PRESET, 4, 3938, rng);
            else if (p < 75)
                out += frame(q48::CMD_MEMORY_EXPORT, 4, 4012, rng);
            else if (p < 95)
                out += frame(q48::CMD_DSP_READ, 2, q48::kDspFrameSize, rng);
            else
                for (int i = 0; i < 64; ++i)
                    out.append(char(noise(rng)));
        }
        return out;
    }();
    return stream;
}

constexpr qsizetype kChunk = 8192; // what one read event hands over

void feedStream(benchmark::State &state, const QByteArray &stream)
{
    long long frames = 0;
    q48::FrameAssembler assembler;
    assembler.setFrameHandler([&](const QByteArray &f) { frames += f.size() > 0; });
    for (auto _ : state) {
        for (qsizetype at = 0; at < stream.size(); at += kChunk)
            assembler.feed(stream.constData() + at, std::min(kChunk, stream.size() - at));
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
    state.counters["frames"] = benchmark::Counter(double(frames), benchmark::Counter::kAvgIterations);
}

void BM_AssemblerMixedStream(benchmark::State &state)
{
    feedStream(state, recordedStream());
}
BENCHMARK(BM_AssemblerMixedStream)->Unit(benchmark::kMillisecond);

// Worst case for the rescan: signatures everywhere, no frame ever complete.
void BM_AssemblerSignatureFlood(benchmark::State &state)
{
    static const QByteArray flood = QByteArray("\x01\x20\x03", 3).repeated(256 * 1024);
    feedStream(state, flood);
}
BENCHMARK(BM_AssemblerSignatureFlood)->Unit(benchmark::kMillisecond);

// Keeps the console output and remembers the mixed stream's rate for the summary line.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the figure line below must not start with a colour code.
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}
    double mixedMBps = 0;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.benchmark_name().rfind("BM_AssemblerMixedStream", 0) == 0 &&
                run.real_accumulated_time > 0)
                mixedMBps = double(recordedStream().size()) * double(run.iterations) /
                            run.real_accumulated_time / 1e6;
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("assembler_MBps: %.0f MB/s\n", reporter.mixedMBps);
    return 0;
}

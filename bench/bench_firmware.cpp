// A full four-image firmware run against q48-sim, by the tool's core and by floor clients that
// only answer, interleaved in the same run so machine noise hits all alike:
//   TCP loopback, 256 KiB images, no reboot wait and no pauses: the tool over a bare QTcpSocket
//   client, and over a blocking POSIX client (FloorClient.h); best of 11 runs each;
//   the pty paced at 19200 baud, 8 KiB images: the tool over the wire time (paced bytes x 10 /
//   19200, plus the 10 ms pause after every serial write), and over the POSIX client.
// Needs q48-sim beside this program.

#include "BenchSim.h"
#include "FloorClient.h"
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
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kTcpImageBytes = 256 * 1024;
constexpr int kSerialImageBytes = 8 * 1024;

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

// A run takes some tens of milliseconds on loopback, less than one scheduling hiccup of a busy
// machine; the best of several runs is the figure that such hiccups do not reach.
double best(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Four image files of `bytes` each (plus the 2 bytes the loader drops), checked once per size.
class Images {
public:
    explicit Images(int bytes)
    {
        for (int i = 0; i < q48::kImageCount; ++i) {
            QFile file(q48::ImageStore::imagePath(m_lib.path(), i));
            QByteArray data(bytes + 2, '\0');
            for (int k = 0; k < data.size(); ++k)
                data[k] = char((k * 31 + i) & 0x7F);
            m_ok = m_ok && file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
        }
        loader.startImageCheck(m_lib.path());
        loader.waitForCheck();
    }
    bool ok() const { return m_ok; }
    q48::ImageLoader loader;

private:
    QTemporaryDir m_lib;
    bool m_ok = true;
};

struct Figures {
    std::vector<double> toolTcp, floorTcp, qtFloorTcp, toolSerial, wireSerial, floorSerial;
} figures;

// One run by the tool's core; seconds, or a negative value when it did not complete.
double toolRun(q48::ImageLoader &loader, int linkKind, const QString &target)
{
    SilentPrompts prompts;
    q48::LinkCore core(prompts);
    core.openLink(linkKind, target);
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
    timings.prepareGapMs = 0;
    run.setTimings(timings);
    q48::WindowRegistration window(core.windows(), q48::kFirmwareWindowClass, &run);

    QElapsedTimer clock;
    clock.start();
    // Waits in an event loop as the program does, so the bench spins no core of its own.
    QEventLoop loop;
    QObject::connect(&run, &q48::FirmwareRun::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    if (run.program() && !run.isFinished())
        loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const bool allDone =
        run.isFinished() && std::all_of(run.imageStates().begin(), run.imageStates().end(),
                                        [](auto s) { return s == q48::FirmwareRun::programmed; });
    core.releaseLink();
    return allDone ? seconds : -1;
}

// The same answers from a bare QTcpSocket in an event loop: what Qt's event machinery costs by
// itself, without the tool's assembler, dispatch or windows. Seconds, or negative on failure.
double qtFloorRun(quint16 port, int packets)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port, QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (!socket.waitForConnected(5000))
        return -1;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const auto frame = [](int command, int image, int size) {
        QByteArray f(size, '\0');
        f[0] = 0x01;
        f[1] = 0x20;
        f[2] = 0x03;
        f[3] = char(size & 0xFF);
        f[5] = 0x01;
        f[7] = 0x01;
        f[8] = char(command);
        f[9] = char(image);
        f[size - 1] = 0x40;
        return f;
    };
    QByteArray data(packets * q48::kFirmwarePacketData, '\0');
    for (qsizetype k = 0; k < data.size(); ++k)
        data[k] = char((k * 31) & 0x7F);
    int image = 0;
    bool ok = true;
    QByteArray packet;
    QByteArray pending;
    QEventLoop loop;
    const auto start = [&] {
        QByteArray f = frame(image == 0 ? q48::CMD_FW_BEGIN_MAIN : q48::CMD_FW_BEGIN, image, 15);
        f[10] = char(packets >> 8);
        f[11] = char(packets);
        f[12] = f[13] = 0x01;
        packet = frame(image == 0 ? q48::CMD_FW_DATA_MAIN : q48::CMD_FW_DATA, image,
                       q48::kFirmwarePacketFrameSize);
        socket.write(f);
    };
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        char chunk[8192];
        for (qint64 got; (got = socket.read(chunk, sizeof chunk)) > 0;)
            pending.append(chunk, got);
        while (pending.size() >= 15) {
            const auto *r = reinterpret_cast<const quint8 *>(pending.constData());
            const int n = r[10] * 256 + r[11];
            const bool begin = r[8] == q48::CMD_FW_BEGIN || r[8] == q48::CMD_FW_BEGIN_MAIN;
            const bool failed = r[12] != 0;
            pending.remove(0, r[3]);
            if (failed) {
                ok = false;
                loop.quit();
                return;
            }
            if (!begin && n == packets) {
                if (++image == q48::kImageCount) {
                    loop.quit();
                    return;
                }
                start();
                continue;
            }
            const int at = begin ? 0 : n;
            packet[10] = char(at >> 8);
            packet[11] = char(at);
            std::memcpy(packet.data() + 12, data.constData() + qsizetype(at) * q48::kFirmwarePacketData,
                        q48::kFirmwarePacketData);
            socket.write(packet);
        }
    });
    QTimer::singleShot(60000, &loop, [&] {
        ok = false;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    socket.write(frame(q48::CMD_FW_PREPARE, 0, 11));
    start();
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    return ok ? seconds : -1;
}

void BM_FirmwareTcp(benchmark::State &state)
{
    static Images images(kTcpImageBytes);
    if (!images.ok()) {
        state.SkipWithError("cannot write the image files");
        return;
    }
    const int packets = kTcpImageBytes / q48::kFirmwarePacketData;
    for (auto _ : state) {
        q48::bench::BenchSim sim;
        if (!sim.start({QStringLiteral("--reboot-seconds"), QStringLiteral("0")})) {
            state.SkipWithError("q48-sim did not start");
            return;
        }
        const double tool = toolRun(images.loader, q48::LinkCore::TcpLink, sim.tcpTarget());
        sim.stop();

        q48::bench::BenchSim floorSim;
        if (!floorSim.start({QStringLiteral("--reboot-seconds"), QStringLiteral("0")})) {
            state.SkipWithError("q48-sim did not start");
            return;
        }
        q48::bench::FloorClient floor;
        const bool connected = floor.connectTcp(floorSim.tcpPort());
        QElapsedTimer clock;
        clock.start();
        const bool floorDone = connected && floor.programFirmware(packets);
        const double floorSeconds = double(clock.nsecsElapsed()) / 1e9;
        if (tool < 0 || !floorDone) {
            state.SkipWithError(tool < 0 ? "the tool's run did not complete"
                                         : "the floor's run did not complete");
            return;
        }
        floorSim.stop();
        q48::bench::BenchSim qtSim;
        if (!qtSim.start({QStringLiteral("--reboot-seconds"), QStringLiteral("0")})) {
            state.SkipWithError("q48-sim did not start");
            return;
        }
        const double qtFloor = qtFloorRun(qtSim.tcpPort(), packets);
        if (qtFloor > 0)
            figures.qtFloorTcp.push_back(qtFloor);
        state.SetIterationTime(tool);
        figures.toolTcp.push_back(tool);
        figures.floorTcp.push_back(floorSeconds);
    }
    state.counters["floor_s"] = median(figures.floorTcp);
}
BENCHMARK(BM_FirmwareTcp)->UseManualTime()->Iterations(11)->Unit(benchmark::kSecond);

void BM_FirmwareSerial(benchmark::State &state)
{
    static Images images(kSerialImageBytes);
    if (!images.ok()) {
        state.SkipWithError("cannot write the image files");
        return;
    }
    const int packets = kSerialImageBytes / q48::kFirmwarePacketData;
    const QStringList args{QStringLiteral("--reboot-seconds"), QStringLiteral("0"), QStringLiteral("--pace")};
    for (auto _ : state) {
        q48::bench::BenchSim sim;
        if (!sim.start(args, true)) {
            state.SkipWithError("q48-sim did not start");
            return;
        }
        const double tool = toolRun(images.loader, q48::LinkCore::SerialLink, sim.serialPath());
        sim.stop();

        // The floor's run counts what crosses the paced wire and how many writes pause.
        q48::bench::BenchSim floorSim;
        if (!floorSim.start(args, true)) {
            state.SkipWithError("q48-sim did not start");
            return;
        }
        q48::bench::FloorClient floor;
        const bool opened = floor.openSerial(floorSim.serialPath().toStdString());
        QElapsedTimer clock;
        clock.start();
        const bool floorDone = opened && floor.programFirmware(packets);
        figures.floorSerial.push_back(double(clock.nsecsElapsed()) / 1e9);
        if (tool < 0 || !floorDone) {
            state.SkipWithError(tool < 0 ? "the tool's run did not complete"
                                         : "the floor's run did not complete");
            return;
        }
        const double wire =
            double(floor.bytesReceived()) * 10.0 / q48::kSerialBaud + 0.010 * double(floor.writes());
        state.SetIterationTime(tool);
        figures.toolSerial.push_back(tool);
        figures.wireSerial.push_back(wire);
    }
    state.counters["wire_s"] = median(figures.wireSerial);
}
BENCHMARK(BM_FirmwareSerial)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // One "name: value unit" line per figure.
    if (!figures.toolTcp.empty()) {
        // The floor: one QTcpSocket and one event loop that only answer, the least Qt machinery
        // a client on the window's thread can have. Beside it, a blocking POSIX client without
        // any event loop, which shows what that machinery itself costs.
        std::printf("fw_tcp_ratio: %.3f x\n", best(figures.toolTcp) / best(figures.qtFloorTcp));
        std::printf("fw_tcp_tool_ms: %.1f ms\n", 1000 * best(figures.toolTcp));
        std::printf("fw_tcp_floor_ms: %.1f ms\n", 1000 * best(figures.qtFloorTcp));
        std::printf("fw_tcp_posix_floor_ms: %.1f ms\n", 1000 * best(figures.floorTcp));
        std::printf("fw_tcp_posix_ratio: %.3f x\n", best(figures.toolTcp) / best(figures.floorTcp));
    }
    if (!figures.toolSerial.empty()) {
        std::printf("fw_serial_ratio: %.3f x\n", median(figures.toolSerial) / median(figures.wireSerial));
        std::printf("fw_serial_tool_s: %.3f s\n", median(figures.toolSerial));
        std::printf("fw_serial_wire_s: %.3f s\n", median(figures.wireSerial));
        // The pty paces only what the device sends, and a reply crosses it during the pause
        // after the write it answers, so a client can beat the sum above; this is the stricter
        // comparison with one that does nothing else.
        std::printf("fw_serial_floor_s: %.3f s\n", median(figures.floorSerial));
        std::printf("fw_serial_floor_ratio: %.3f x\n",
                    median(figures.toolSerial) / median(figures.floorSerial));
    }
    return 0;
}

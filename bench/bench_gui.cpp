// The window's own figures, offscreen, each in a child process of this program so that one
// measurement does not inherit another's memory or state:
//   startup_ms        process start to the main window shown, median of 5;
//   gui_max_stall_ms  the longest gap of a 10 ms heartbeat timer in the GUI thread during a
//                     scripted session against q48-sim: discovery, connect (which reads the preset
//                     lists), a full firmware run with a 2 s reboot, memory export and import;
//   rss_mb            peak resident memory of that session's process.
// Needs q48-sim beside this program. Linux only (peak memory from /proc).

#include "AppLook.h"
#include "AppTitle.h"
#include "BenchSim.h"
#include "StartOptions.h"
#include "TFirmwareWindow.h"
#include "TMainForm.h"
#include "TPrsetSaveLoadForm.h"
#include "UserPrompts.h"
#include "firmware/FirmwareCatalogue.h"
#include "firmware/FirmwareRun.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kImageBytes = 256 * 1024;

// Ver.ini with a 2 s reboot and four images, as an installed lib folder holds them.
bool writeLib(const QString &dir)
{
    QFile ini(dir + QStringLiteral("/Ver.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write("[ver]\r\nMCU_VER=MCU_Firmware_1_V4.5\r\nKEY_VER=MCU_Firmware_2_V2.8\r\n"
              "DSP1_VER=DSP_Firmware_1_V4.0\r\nDSP2_VER=DSP_Firmware_2_V4.1\r\n"
              "[App-config]\r\nVer=V2.3\r\nName=Q48 Service\r\nUrl=https://q48.example\r\n"
              "CompName=Bench Works Ltd.\r\nUtype=0\r\nDelay=2\r\n");
    for (int i = 0; i < q48::kImageCount; ++i) {
        QFile image(dir + QLatin1Char('/') + QLatin1String(q48::firmwareIds[i]));
        QByteArray bytes(kImageBytes + 2, '\0');
        for (int b = 0; b < bytes.size(); ++b)
            bytes[b] = char((b * 7 + i) & 0xFF);
        if (!image.open(QIODevice::WriteOnly) || image.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

// The user: says yes, picks the one memory file, reads every message.
class ScriptedUser : public q48::UserPrompts {
public:
    QString file;
    int messages = 0;
    bool askYesNo(const QString &, const QString &) override { return true; }
    QString saveFileName(const QString &) override { return file; }
    QString openFileName(const QString &) override { return file; }
    void message(const QString &text, const QString &) override
    {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Child: the program's own start-up, as main() does it, then "shown" once the window is up.
int startupChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("q48tool"));
    q48::setApplicationTitle(QStringLiteral("Q48UpdateTool"));
    q48::applyLook(app);
    QString error;
    QString help;
    QStringList args = QApplication::arguments();
    args.removeAt(1); // the mode switch
    const std::optional<q48::StartOptions> options = q48::parseStartOptions(args, &error, &help);
    if (!options) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    q48::ServiceCore::Options coreOptions;
    coreOptions.endpoints = options->endpoints;
    coreOptions.libDir = options->libDir;
    coreOptions.outputDir = options->outputDir;
    TMainForm mainForm(coreOptions);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &mainForm, &TMainForm::FormClose);
    mainForm.FormCreate();
    mainForm.show();
    // The show and expose events have been handled when the loop first comes round.
    QTimer::singleShot(0, &app, [] {
        std::printf("shown\n");
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return app.exec();
}

// Child: the scripted session under the heartbeat.
int sessionChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    q48::applyLook(app);
    q48::bench::BenchSim sim;
    QTemporaryDir lib;
    QTemporaryDir out;
    if (!sim.start({QStringLiteral("--reboot-seconds"), QStringLiteral("2")}, false, true) ||
        !writeLib(lib.path())) {
        std::fprintf(stderr, "cannot start q48-sim or write the lib folder\n");
        return 1;
    }
    ScriptedUser user;
    user.file = out.filePath(QStringLiteral("all.ept"));
    q48::ServiceCore::Options options;
    options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
    options.endpoints.searchPort = sim.udpPort();
    options.endpoints.udpPort = 0;
    options.endpoints.tcpPort = sim.tcpPort();
    options.endpoints.serialPorts = QStringList();
    options.libDir = lib.path();
    options.outputDir = out.path();
    auto form = std::make_unique<TMainForm>(options, &user);
    form->FormCreate();
    form->show();

    // From here on every gap of the heartbeat is a time the window did not answer.
    QString stage = QStringLiteral("discovery");
    QString worstStage;
    qint64 worstGapNs = 0;
    QElapsedTimer beat;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 gap = beat.nsecsElapsed();
        beat.restart();
        if (gap > worstGapNs) {
            worstGapNs = gap;
            worstStage = stage;
        }
    });
    beat.start();
    heartbeat.start(10);

    const auto click = [&](QWidget *in, const char *name) {
        auto *button = in->findChild<QAbstractButton *>(QLatin1String(name));
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        return button != nullptr;
    };
    q48::ServiceCore &core = form->core();
    bool ok = QTest::qWaitFor([&] { return core.discovery.deviceFound(); }, 10000);

    stage = QStringLiteral("connect and preset lists");
    int listsRead = 0;
    QObject::connect(&core.presets, &q48::PresetCommands::listsRead, [&] { ++listsRead; });
    ok = ok && click(form.get(), "connectButton") && QTest::qWaitFor([&] { return listsRead > 0; }, 10000);

    // The firmware window runs modally; a timer drives it from inside its loop.
    bool firmwareDone = false;
    QTimer driver;
    if (ok) {
        stage = QStringLiteral("firmware");
        bool pressed = false;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            auto *window = qobject_cast<TFirmwareWindow *>(QApplication::activeModalWidget());
            if (!window)
                return;
            if (!pressed)
                pressed = click(window, "btnTotal");
            else if (window->run()->isFinished()) {
                firmwareDone =
                    std::all_of(window->run()->imageStates().begin(), window->run()->imageStates().end(),
                                [](auto s) { return s == q48::FirmwareRun::programmed; });
                driver.stop();
                window->close();
            }
        });
        QTimer::singleShot(60000, &driver, [&] {
            driver.stop();
            if (auto *modal = QApplication::activeModalWidget())
                modal->close();
        });
        driver.start(10);
        click(form.get(), "upateFirmwareBtn");
        driver.disconnect();
        ok = firmwareDone;
    }

    // Export, then import the file back, in the preset window.
    bool memoryDone = false;
    if (ok) {
        stage = QStringLiteral("memory export and import");
        int step = 0;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            auto *window = qobject_cast<TPrsetSaveLoadForm *>(QApplication::activeModalWidget());
            if (!window)
                return;
            auto *importButton = window->findChild<QWidget *>(QStringLiteral("memExptBtn"));
            auto *status = window->findChild<QLineEdit *>(QStringLiteral("stsEd"));
            if (step == 0 && click(window, "memImptBtn")) {
                step = 1;
            } else if (step == 1 && importButton && importButton->isEnabled() && QFile::exists(user.file)) {
                click(window, "memExptBtn");
                step = 2;
            } else if (step == 2 && status &&
                       status->text() == QStringLiteral("Update Presets sucessfully ..~!")) {
                memoryDone = true;
                driver.stop();
                window->close();
            }
        });
        QTimer::singleShot(60000, &driver, [&] {
            driver.stop();
            if (auto *modal = QApplication::activeModalWidget())
                modal->close();
        });
        driver.start(10);
        click(form.get(), "saveloadBtn");
        ok = memoryDone;
    }
    heartbeat.stop();

    const long rssKb = peakRssKb();
    form->close();
    form.reset();
    sim.stop();
    if (!ok) {
        std::fprintf(stderr, "the session stopped in its %s stage\n", qPrintable(stage));
        return 1;
    }
    std::printf("gui_max_stall_ms: %.1f ms\n", double(worstGapNs) / 1e6);
    std::printf("(longest gap during: %s)\n", qPrintable(worstStage));
    std::printf("rss_mb: %.1f MB\n", double(rssKb) / 1024.0);
    return user.messages == 0 ? 0 : 1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Parent: runs the children and prints their figures.
int parent(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    int status = 0;

    QTemporaryDir lib;
    QTemporaryDir out;
    if (!writeLib(lib.path()))
        return 1;
    // Discovery of this start-up searches loopback only, where nobody answers.
    const QStringList startupArgs{QStringLiteral("--startup"),
                                  QStringLiteral("--lib"),
                                  lib.path(),
                                  QStringLiteral("--output-dir"),
                                  out.path(),
                                  QStringLiteral("--search-address"),
                                  QStringLiteral("127.0.0.1"),
                                  QStringLiteral("--search-port"),
                                  QStringLiteral("9"),
                                  QStringLiteral("--udp-port"),
                                  QStringLiteral("0"),
                                  QStringLiteral("--serial-ports"),
                                  QString()};
    std::vector<double> startups;
    for (int i = 0; i < 5; ++i) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        child.start(self, startupArgs);
        bool shown = false;
        while (!shown && child.waitForReadyRead(10000))
            shown = child.readAll().contains("shown");
        if (shown)
            startups.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!child.waitForFinished(10000)) {
            child.kill();
            child.waitForFinished(5000);
        }
        if (!shown)
            status = 1;
    }
    if (!startups.empty())
        std::printf("startup_ms: %.0f ms\n", median(startups));

    QProcess session;
    session.setProcessEnvironment(env);
    session.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    session.start(self, {QStringLiteral("--session")});
    if (!session.waitForFinished(180000)) {
        session.kill();
        session.waitForFinished(5000);
        status = 1;
    }
    std::fputs(session.readAllStandardOutput().constData(), stdout);
    if (session.exitStatus() != QProcess::NormalExit || session.exitCode() != 0)
        status = 1;
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--startup") == 0)
        return startupChild(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--session") == 0)
        return sessionChild(argc, argv);
    return parent(argc, argv);
}

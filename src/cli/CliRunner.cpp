#include "CliRunner.h"

#include "CliFirmwareDisplay.h"
#include "CliPrompts.h"
#include "ProgressLine.h"
#include "Terminal.h"
#include "connection/DiscoveryScan.h"
#include "firmware/CArrayExport.h"
#include "firmware/FirmwareProgrammer.h"
#include "firmware/FirmwareRun.h"
#include "firmware/ImageStore.h"
#include "presets/PresetKinds.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <array>

namespace q48 {

namespace {

struct CommandInfo {
    const char *name;
    const char *synopsis;
    const char *description;
    QStringList options;
};

const QList<CommandInfo> &commands()
{
    static const QList<CommandInfo> table = {
        {"discover",
         "discover [--all]",
         "Prints the mixer the main window would pick; with --all, every mixer that answers within "
         "--timeout.",
         {QStringLiteral("all")}},
        {"presets list",
         "presets list [--kind scene|dsp|dfx|geq]",
         "Prints the numbered preset names of one kind, or of all four.",
         {QStringLiteral("kind")}},
        {"presets save",
         "presets save --kind K --slot N [--channel NAME] --name TEXT",
         "Saves the mixer's current settings of a channel into a named preset slot.",
         {QStringLiteral("kind"), QStringLiteral("slot"), QStringLiteral("channel"), QStringLiteral("name")}},
        {"presets delete",
         "presets delete --kind K --slot N",
         "Deletes one preset on the mixer.",
         {QStringLiteral("kind"), QStringLiteral("slot")}},
        {"presets read",
         "presets read --kind K --slot N -o FILE",
         "Reads one preset from the mixer into a preset file.",
         {QStringLiteral("kind"), QStringLiteral("slot"), QStringLiteral("output")}},
        {"presets write",
         "presets write --kind K [--channel NAME] FILE",
         "Writes a preset file to a channel of the mixer.",
         {QStringLiteral("kind"), QStringLiteral("channel")}},
        {"memory export",
         "memory export -o FILE.ept",
         "Saves the mixer's whole memory (30 packets) to a file.",
         {QStringLiteral("output")}},
        {"memory import", "memory import FILE.ept", "Loads a memory file into the mixer.", {}},
        {"firmware program",
         "firmware program [--lib DIR]",
         "Programs the four firmware images of the lib folder, one after the other.",
         {}},
        {"dsp read",
         "dsp read --dsp 1|2 [-o FILE]",
         "Reads the firmware of DSP 1 or 2 back from the mixer (default DSP1.bin / DSP2.bin here).",
         {QStringLiteral("dsp"), QStringLiteral("output")}},
        {"carray",
         "carray --array 0..4 FILE [-o OUT]",
         "Turns a binary file into C source defining one byte array; no device needed.",
         {QStringLiteral("array"), QStringLiteral("output")}},
    };
    return table;
}

const CommandInfo *findCommand(const QString &name)
{
    for (const CommandInfo &info : commands())
        if (name == QLatin1String(info.name))
            return &info;
    return nullptr;
}

QList<QCommandLineOption> globalOptions()
{
    QList<QCommandLineOption> list{
        {QStringLiteral("device"), QStringLiteral("Connect to this mixer over TCP, skipping discovery."),
         QStringLiteral("HOST[:PORT]")},
        {QStringLiteral("serial"), QStringLiteral("Connect over this serial port, skipping discovery."),
         QStringLiteral("PORT")},
        {QStringLiteral("utype"), QStringLiteral("Device variant 0 or 1 (default: Ver.ini)."),
         QStringLiteral("N")},
        {QStringLiteral("lib"),
         QStringLiteral("Folder of Ver.ini and the images (default: lib beside q48ctl)."),
         QStringLiteral("DIR")},
        {QStringLiteral("timeout"),
         QStringLiteral("Seconds without an answer that end the command (default 30)."), QStringLiteral("S")},
        {QStringLiteral("reboot-timeout"),
         QStringLiteral("Seconds to wait for the device after image 0 (default: Delay + 30)."),
         QStringLiteral("S")},
        {QStringLiteral("reboot-delay"),
         QStringLiteral("Seconds the device takes to restart after image 0 (default: Delay of Ver.ini)."),
         QStringLiteral("S")},
        {QStringLiteral("json"), QStringLiteral("Print one JSON object per result line, and no progress.")},
        {QStringLiteral("yes"), QStringLiteral("Answer the save and load questions with yes.")},
    };
    // The 3 s pauses between images, shortened by tests against the simulator.
    QCommandLineOption pause(QStringLiteral("image-pause-ms"), QStringLiteral("Pause after images 1 to 3."),
                             QStringLiteral("MS"));
    pause.setFlags(QCommandLineOption::HiddenFromHelp);
    list << pause;
    return list;
}

QCommandLineOption commandOption(const QString &name)
{
    if (name == QLatin1String("all"))
        return {name, QStringLiteral("List every mixer that answers within --timeout.")};
    if (name == QLatin1String("kind"))
        return {name, QStringLiteral("Preset kind: scene, dsp, dfx or geq."), QStringLiteral("K")};
    if (name == QLatin1String("slot"))
        return {name, QStringLiteral("Slot number as the list shows it, from 1."), QStringLiteral("N")};
    if (name == QLatin1String("channel"))
        return {name, QStringLiteral("Channel name, e.g. CH01, MAIN, AUX1, DFX1 (not for scene)."),
                QStringLiteral("NAME")};
    if (name == QLatin1String("name"))
        return {name, QStringLiteral("Preset name, 2 to 16 characters."), QStringLiteral("TEXT")};
    if (name == QLatin1String("output"))
        return {{QStringLiteral("o"), QStringLiteral("output")},
                QStringLiteral("File to write."),
                QStringLiteral("FILE")};
    if (name == QLatin1String("dsp"))
        return {name, QStringLiteral("DSP 1 or 2."), QStringLiteral("N")};
    return {QStringLiteral("array"), QStringLiteral("Array name 0..4 of the engineering page."),
            QStringLiteral("K")};
}

const QStringList kAllCommandOptions = {
    QStringLiteral("all"),  QStringLiteral("kind"),   QStringLiteral("slot"), QStringLiteral("channel"),
    QStringLiteral("name"), QStringLiteral("output"), QStringLiteral("dsp"),  QStringLiteral("array")};

// The kinds as the window offers them.
const std::array<int, kPresetKindCount> kListOrder = {kKindScene, kKindDspChannel, kKindDfx, kKindGeq};

QString kindKey(int kind)
{
    switch (kind) {
    case kKindScene:
        return QStringLiteral("scene");
    case kKindDspChannel:
        return QStringLiteral("dsp");
    case kKindDfx:
        return QStringLiteral("dfx");
    default:
        return QStringLiteral("geq");
    }
}

// The list line without what follows a zero byte, as the window shows it.
QString visibleLine(const QString &line)
{
    const qsizetype zero = line.indexOf(QChar(0));
    return zero < 0 ? line : line.left(zero);
}

QString slotName(const TData &data, int kind, int slot)
{
    const QString line = visibleLine(data.presetLine(slot, kind));
    return line.mid(listNumber(slot + 1).size()).trimmed();
}

bool parseInt(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

QString resultWord(int result)
{
    switch (result) {
    case FW_RESULT_DONE:
        return QStringLiteral("programmed");
    case FW_RESULT_NOT_READY:
        return QStringLiteral("not ready");
    default:
        return QStringLiteral("failed");
    }
}

} // namespace

CliRunner::CliRunner(const QStringList &arguments) : m_arguments(arguments) {}

CliRunner::~CliRunner()
{
    m_session.reset();
}

int CliRunner::usageError(const QString &text)
{
    return fail(ExitUsage, text + QStringLiteral(" See 'q48ctl --help'."));
}

int CliRunner::fail(int code, const QString &text)
{
    if (m_progress)
        m_progress->clear();
    Terminal::writeErr(QStringLiteral("q48ctl: error: %1\n").arg(text));
    if (m_json)
        result(QJsonObject{{QStringLiteral("error"), text}, {QStringLiteral("exit"), code}}, QString());
    return code;
}

void CliRunner::result(const QJsonObject &json, const QString &text)
{
    if (m_progress)
        m_progress->clear();
    if (m_json)
        Terminal::writeOut(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) +
                           QLatin1Char('\n'));
    else if (!text.isNull())
        Terminal::writeOut(text + QLatin1Char('\n'));
}

int CliRunner::parse()
{
    // Pass 1 knows every option, only to find the command words.
    QCommandLineParser all;
    all.addOptions(globalOptions());
    addEndpointOptions(all);
    for (const QString &name : kAllCommandOptions)
        all.addOption(commandOption(name));
    all.addHelpOption();
    m_json = m_arguments.contains(QStringLiteral("--json"));
    if (!all.parse(m_arguments))
        return usageError(all.errorText() + QLatin1Char('.'));

    const QStringList words = all.positionalArguments();
    const CommandInfo *info = nullptr;
    int used = 0;
    if (!words.isEmpty()) {
        info = findCommand(words.first());
        used = 1;
        if (!info && words.size() > 1) {
            info = findCommand(words.at(0) + QLatin1Char(' ') + words.at(1));
            used = 2;
        }
    }

    m_parser.setApplicationDescription(
        info ? QStringLiteral("q48ctl %1\n\n%2")
                   .arg(QLatin1String(info->synopsis), QLatin1String(info->description))
             : QStringLiteral("Q48 service tool from the command line.\n\nCommands:\n") + [] {
                   QString list;
                   for (const CommandInfo &c : commands())
                       list += QStringLiteral("  q48ctl [options] %1\n").arg(QLatin1String(c.synopsis));
                   return list + QStringLiteral("\n'q48ctl COMMAND --help' describes one command.");
               }());
    m_parser.addOptions(globalOptions());
    addEndpointOptions(m_parser);
    if (info)
        for (const QString &name : info->options)
            m_parser.addOption(commandOption(name));
    m_parser.addHelpOption();
    if (!m_parser.parse(m_arguments))
        return usageError(m_parser.errorText() + QLatin1Char('.'));
    if (m_parser.isSet(QStringLiteral("help"))) {
        Terminal::writeOut(m_parser.helpText());
        return -ExitOk - 1;
    }
    if (!info) {
        if (words.isEmpty())
            return usageError(QStringLiteral("No command given."));
        return usageError(
            QStringLiteral("Unknown command \"%1\".").arg(words.mid(0, 2).join(QLatin1Char(' '))));
    }
    m_command = QLatin1String(info->name);
    m_positional = words.mid(used);
    const bool takesFile = m_command == QLatin1String("presets write") ||
                           m_command == QLatin1String("memory import") ||
                           m_command == QLatin1String("carray");
    if (takesFile && m_positional.size() != 1)
        return usageError(QStringLiteral("'%1' takes one FILE.").arg(m_command));
    if (!takesFile && !m_positional.isEmpty())
        return usageError(QStringLiteral("Unexpected argument \"%1\".").arg(m_positional.first()));
    return ExitOk;
}

void CliRunner::makeSession()
{
    m_session = std::make_unique<CliSession>(*m_prompts, m_settings);
}

bool CliRunner::connectSession()
{
    makeSession();
    m_session->loadVersion();
    return m_session->connectDevice();
}

int CliRunner::takeSaveFile(const QString &missing, const QString &what)
{
    const QString output = m_parser.value(QStringLiteral("output"));
    if (output.isEmpty())
        return usageError(missing);
    if (const int bad = checkWritable(output))
        return bad;
    if (const int bad = needAnswers(what))
        return bad;
    m_prompts->setSaveName(output);
    return ExitOk;
}

int CliRunner::run()
{
    const int parsed = parse();
    if (parsed == -ExitOk - 1)
        return ExitOk;
    if (parsed != ExitOk)
        return parsed;

    m_json = m_parser.isSet(QStringLiteral("json"));
    m_progress = std::make_unique<ProgressLine>(m_json                         ? ProgressLine::SilentMode
                                                : Terminal::stderrIsTerminal() ? ProgressLine::TerminalMode
                                                                               : ProgressLine::PlainMode);
    m_prompts =
        std::make_unique<CliPrompts>(m_parser.isSet(QStringLiteral("yes")), Terminal::stdinIsTerminal());

    QString error;
    m_settings.core.endpoints = endpointsFromParser(m_parser, &error);
    if (!error.isEmpty())
        return usageError(error);
    m_settings.core.libDir = m_parser.value(QStringLiteral("lib"));
    m_settings.core.outputDir = QDir::currentPath();
    if (m_parser.isSet(QStringLiteral("timeout")) &&
        !parseInt(m_parser.value(QStringLiteral("timeout")), 1, 86400, &m_settings.timeoutSeconds))
        return usageError(QStringLiteral("--timeout: give whole seconds, 1 or more."));
    if (m_parser.isSet(QStringLiteral("reboot-timeout")) &&
        !parseInt(m_parser.value(QStringLiteral("reboot-timeout")), 1, 86400, &m_rebootTimeout))
        return usageError(QStringLiteral("--reboot-timeout: give whole seconds, 1 or more."));
    if (m_parser.isSet(QStringLiteral("reboot-delay")) &&
        !parseInt(m_parser.value(QStringLiteral("reboot-delay")), 0, 3600, &m_rebootDelay))
        return usageError(QStringLiteral("--reboot-delay: give whole seconds, 0 or more."));
    if (m_parser.isSet(QStringLiteral("image-pause-ms")) &&
        !parseInt(m_parser.value(QStringLiteral("image-pause-ms")), 0, 60000, &m_pauseMs))
        return usageError(QStringLiteral("--image-pause-ms: give milliseconds."));
    if (m_parser.isSet(QStringLiteral("utype"))) {
        int utype = 0;
        if (!parseInt(m_parser.value(QStringLiteral("utype")), 0, 1, &utype))
            return usageError(QStringLiteral("--utype: give 0 or 1."));
        m_settings.utype = utype;
    }
    if (m_parser.isSet(QStringLiteral("device")) && m_parser.isSet(QStringLiteral("serial")))
        return usageError(QStringLiteral("Give --device or --serial, not both."));
    if (m_parser.isSet(QStringLiteral("device"))) {
        QString device = m_parser.value(QStringLiteral("device")).trimmed();
        const qsizetype colon = device.lastIndexOf(QLatin1Char(':'));
        if (colon > 0) {
            int port = 0;
            if (!parseInt(device.mid(colon + 1), 1, 65535, &port))
                return usageError(QStringLiteral("--device: \"%1\" has no valid port.").arg(device));
            m_settings.core.endpoints.tcpPort = port;
            device = device.left(colon);
        }
        if (device.isEmpty())
            return usageError(QStringLiteral("--device: give HOST or HOST:PORT."));
        m_settings.device = device;
    }
    m_settings.serial = m_parser.value(QStringLiteral("serial")).trimmed();
    if (m_parser.isSet(QStringLiteral("serial")) && m_settings.serial.isEmpty())
        return usageError(QStringLiteral("--serial: give a port name."));

    if (m_command == QLatin1String("discover"))
        return runDiscover();
    if (m_command == QLatin1String("presets list"))
        return runPresetsList();
    if (m_command == QLatin1String("presets save"))
        return runPresetsSave();
    if (m_command == QLatin1String("presets delete"))
        return runPresetsDelete();
    if (m_command == QLatin1String("presets read"))
        return runPresetsRead();
    if (m_command == QLatin1String("presets write"))
        return runPresetsWrite();
    if (m_command == QLatin1String("memory export"))
        return runMemoryExport();
    if (m_command == QLatin1String("memory import"))
        return runMemoryImport();
    if (m_command == QLatin1String("firmware program"))
        return runFirmware();
    if (m_command == QLatin1String("dsp read"))
        return runDsp();
    return runCArray();
}

int CliRunner::fromSession()
{
    return fail(m_session->exitCode(), m_session->errorText());
}

int CliRunner::kindOption(bool required, int *kind)
{
    *kind = -1;
    if (!m_parser.isSet(QStringLiteral("kind")))
        return required ? usageError(QStringLiteral("--kind is required (scene, dsp, dfx or geq).")) : ExitOk;
    const QString text = m_parser.value(QStringLiteral("kind")).trimmed().toLower();
    for (int k = 0; k < kPresetKindCount; ++k)
        if (text == kindKey(k) || text == kindLabel(k).toLower())
            *kind = k;
    if (*kind < 0)
        return usageError(QStringLiteral("--kind: \"%1\" is not scene, dsp, dfx or geq.")
                              .arg(m_parser.value(QStringLiteral("kind"))));
    return ExitOk;
}

int CliRunner::slotOption(int kind, int *slot)
{
    if (!m_parser.isSet(QStringLiteral("slot")))
        return usageError(QStringLiteral("--slot is required."));
    int number = 0;
    if (!parseInt(m_parser.value(QStringLiteral("slot")), 1, slotCount(kind), &number))
        return usageError(QStringLiteral("--slot: %1 presets have slots 1 to %2.")
                              .arg(kindLabel(kind))
                              .arg(slotCount(kind)));
    *slot = number - 1;
    return ExitOk;
}

int CliRunner::channelOption(int kind, int *channel)
{
    *channel = 0;
    const QStringList run = channelRun(kind);
    if (run.isEmpty()) {
        // A scene applies to the whole mixer.
        if (m_parser.isSet(QStringLiteral("channel")))
            return usageError(QStringLiteral("--channel: %1 presets have no channel.").arg(kindLabel(kind)));
        return ExitOk;
    }
    if (!m_parser.isSet(QStringLiteral("channel")))
        return usageError(QStringLiteral("--channel is required for %1 presets: one of %2.")
                              .arg(kindLabel(kind), run.join(QStringLiteral(", "))));
    const QString text = m_parser.value(QStringLiteral("channel")).trimmed();
    for (int i = 0; i < run.size(); ++i)
        if (run.at(i).compare(text, Qt::CaseInsensitive) == 0) {
            *channel = i;
            return ExitOk;
        }
    return usageError(QStringLiteral("--channel: \"%1\" is not a %2 channel: one of %3.")
                          .arg(text, kindLabel(kind), run.join(QStringLiteral(", "))));
}

int CliRunner::checkWritable(const QString &path)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (info.isDir())
        return fail(ExitFileError, QStringLiteral("\"%1\" is a folder; give a file name.").arg(path));
    if (!folder.isDir() || !folder.isWritable())
        return fail(ExitFileError,
                    QStringLiteral("Cannot write \"%1\": the folder %2 does not exist or is not "
                                   "writable. Choose another place.")
                        .arg(path, QDir::toNativeSeparators(folder.absoluteFilePath())));
    if (info.exists() && !info.isWritable())
        return fail(
            ExitFileError,
            QStringLiteral("Cannot write \"%1\": the file is read-only. Choose another name.").arg(path));
    return ExitOk;
}

int CliRunner::needAnswers(const QString &what)
{
    if (m_parser.isSet(QStringLiteral("yes")) || Terminal::stdinIsTerminal())
        return ExitOk;
    return usageError(
        QStringLiteral("'%1' asks before it %2, and standard input is not a terminal: pass --yes.")
            .arg(m_command, what));
}

int CliRunner::runDiscover()
{
    if (!m_parser.isSet(QStringLiteral("all"))) {
        if (!m_settings.device.isEmpty() || !m_settings.serial.isEmpty())
            return usageError(QStringLiteral("discover searches; --device and --serial do not apply."));
        makeSession();
        if (!m_session->findDevice())
            return fromSession();
        const bool tcp = m_session->deviceKind() == Discovery::kTcp;
        const int port = m_settings.core.endpoints.tcpPort;
        QJsonObject json{{QStringLiteral("device"), m_session->deviceName()},
                         {QStringLiteral("link"), tcp ? QStringLiteral("tcp") : QStringLiteral("serial")}};
        if (tcp)
            json.insert(QStringLiteral("port"), port);
        result(json, tcp ? QStringLiteral("tcp %1:%2").arg(m_session->deviceName()).arg(port)
                         : QStringLiteral("serial %1").arg(m_session->deviceName()));
        return ExitOk;
    }

    DiscoveryScan scan(m_settings.core.endpoints, m_settings.core.discoveryTimings);
    const int port = m_settings.core.endpoints.tcpPort;
    QObject::connect(&scan, &DiscoveryScan::deviceAnswered, [&](const QString &name, int kind) {
        const bool tcp = kind == Discovery::kTcp;
        QJsonObject json{{QStringLiteral("device"), name},
                         {QStringLiteral("link"), tcp ? QStringLiteral("tcp") : QStringLiteral("serial")}};
        if (tcp)
            json.insert(QStringLiteral("port"), port);
        result(json,
               tcp ? QStringLiteral("tcp %1:%2").arg(name).arg(port) : QStringLiteral("serial %1").arg(name));
    });
    if (!scan.start())
        m_progress->note(QStringLiteral("no LAN search: %1").arg(scan.bindError()));
    m_progress->note(QStringLiteral("listening for %1 s").arg(m_settings.timeoutSeconds));
    QElapsedTimer clock;
    clock.start();
    makeSession();
    m_session->runUntil([&] { return clock.hasExpired(qint64(m_settings.timeoutSeconds) * 1000); });
    scan.stop();
    if (scan.devices().isEmpty())
        return fail(ExitNoDevice,
                    QStringLiteral("No device found: no mixer answered within %1 s. Check that it is "
                                   "on and cabled, and the search options.")
                        .arg(m_settings.timeoutSeconds));
    return ExitOk;
}

int CliRunner::runPresetsList()
{
    int kind = -1;
    if (const int bad = kindOption(false, &kind))
        return bad;
    if (!connectSession())
        return fromSession();
    const TData &data = m_session->core().data;
    for (int k : kListOrder) {
        if (kind >= 0 && k != kind)
            continue;
        if (kind < 0 && !m_json)
            result({}, QStringLiteral("[%1]").arg(kindLabel(k)));
        for (int slot = 0; slot < slotCount(k); ++slot)
            result(QJsonObject{{QStringLiteral("kind"), kindKey(k)},
                               {QStringLiteral("slot"), slot + 1},
                               {QStringLiteral("name"), slotName(data, k, slot)}},
                   visibleLine(data.presetLine(slot, k)));
    }
    return ExitOk;
}

int CliRunner::runPresetsSave()
{
    int kind = -1, slot = 0, channel = 0;
    if (const int bad = kindOption(true, &kind))
        return bad;
    if (const int bad = slotOption(kind, &slot))
        return bad;
    if (const int bad = channelOption(kind, &channel))
        return bad;
    const QString name = m_parser.value(QStringLiteral("name")).trimmed();
    // The name dialog's own rule.
    if (name.size() < 2 || name.size() > kPresetNameBytes)
        return usageError(QStringLiteral("--name: give 2 to %1 characters.").arg(kPresetNameBytes));

    if (!connectSession())
        return fromSession();
    ServiceCore &core = m_session->core();
    core.data.setPresetName(kind, slot, name);
    core.presets.sendPresetName(kind, slot, channel);
    // The device does not answer a save; reading the lists again shows what it stored.
    bool reread = false;
    QObject::connect(&core.presets, &PresetCommands::listsRead, [&] { reread = true; });
    core.presets.requestPresetList(0);
    m_session->expect(QStringLiteral("the name lists after the save"));
    if (!m_session->runUntil([&] { return reread; }))
        return fromSession();
    const QString stored = slotName(core.data, kind, slot);
    if (stored != name)
        return fail(ExitDeviceFailure,
                    QStringLiteral("The device did not store the name: slot %1 of %2 reads \"%3\".")
                        .arg(slot + 1)
                        .arg(kindLabel(kind), stored));
    result(QJsonObject{{QStringLiteral("kind"), kindKey(kind)},
                       {QStringLiteral("slot"), slot + 1},
                       {QStringLiteral("name"), stored}},
           visibleLine(core.data.presetLine(slot, kind)));
    return ExitOk;
}

int CliRunner::runPresetsDelete()
{
    int kind = -1, slot = 0;
    if (const int bad = kindOption(true, &kind))
        return bad;
    if (const int bad = slotOption(kind, &slot))
        return bad;
    if (!connectSession())
        return fromSession();
    ServiceCore &core = m_session->core();
    core.presets.sendDeletePreset(kind, slot);
    bool reread = false;
    QObject::connect(&core.presets, &PresetCommands::listsRead, [&] { reread = true; });
    core.presets.requestPresetList(0);
    m_session->expect(QStringLiteral("the name lists after the delete"));
    if (!m_session->runUntil([&] { return reread; }))
        return fromSession();
    result(QJsonObject{{QStringLiteral("kind"), kindKey(kind)},
                       {QStringLiteral("slot"), slot + 1},
                       {QStringLiteral("name"), slotName(core.data, kind, slot)}},
           visibleLine(core.data.presetLine(slot, kind)));
    return ExitOk;
}

int CliRunner::runPresetsRead()
{
    int kind = -1, slot = 0;
    if (const int bad = kindOption(true, &kind))
        return bad;
    if (const int bad = slotOption(kind, &slot))
        return bad;
    if (const int bad =
            takeSaveFile(QStringLiteral("-o FILE is required."), QStringLiteral("saves the preset")))
        return bad;

    if (!connectSession())
        return fromSession();
    ServiceCore &core = m_session->core();
    std::optional<FileResult> saved;
    QObject::connect(&core.presets, &PresetCommands::presetFileSaved,
                     [&](const FileResult &r) { saved = r; });
    core.presets.requestPreset(kind, slot);
    m_session->expect(QStringLiteral("the %1 preset of slot %2").arg(kindLabel(kind)).arg(slot + 1));
    if (!m_session->runUntil([&] { return saved.has_value(); }))
        return fromSession();
    switch (saved->status) {
    case FileResult::Done:
        break;
    case FileResult::Rejected:
        return fail(ExitDeviceFailure,
                    QStringLiteral("The device sent a %1 preset of the wrong size; nothing was "
                                   "saved. Read it again.")
                        .arg(kindLabel(kind)));
    case FileResult::Failed:
        return fail(ExitFileError, saved->error + QStringLiteral(" Choose another file."));
    default:
        return fail(ExitUsage, QStringLiteral("Not saved: the question was answered no."));
    }
    result(QJsonObject{{QStringLiteral("kind"), kindKey(kind)},
                       {QStringLiteral("slot"), slot + 1},
                       {QStringLiteral("file"), saved->path}},
           QStringLiteral("saved %1").arg(saved->path));
    return ExitOk;
}

int CliRunner::runPresetsWrite()
{
    int kind = -1, channel = 0;
    if (const int bad = kindOption(true, &kind))
        return bad;
    if (const int bad = channelOption(kind, &channel))
        return bad;
    if (const int bad = needAnswers(QStringLiteral("writes the preset")))
        return bad;
    const QString file = m_positional.first();
    m_prompts->setOpenName(file);

    makeSession();
    m_session->loadVersion();
    ServiceCore &core = m_session->core();
    // The file is checked before anything is connected: a bad one sends nothing.
    const FileResult read = core.presetFiles.readPresetFile(kind);
    if (read.status == FileResult::Rejected || read.status == FileResult::Failed)
        return fail(ExitFileError, read.error + QStringLiteral(" Nothing was sent."));
    if (!read.ok())
        return fail(ExitUsage, QStringLiteral("Not written: the question was answered no."));

    if (!m_session->connectDevice())
        return fromSession();
    bool written = false;
    QObject::connect(&core.presets, &PresetCommands::presetWritten, [&](int) { written = true; });
    if (!core.presets.sendPresetData(kind, channel))
        return fail(ExitNoDevice, QStringLiteral("The preset could not be sent: the link is down."));
    m_session->expect(QStringLiteral("the device to confirm the preset write"));
    if (!m_session->runUntil([&] { return written; }))
        return fromSession();
    const QStringList run = channelRun(kind);
    QJsonObject json{{QStringLiteral("kind"), kindKey(kind)}, {QStringLiteral("file"), file}};
    if (!run.isEmpty())
        json.insert(QStringLiteral("channel"), run.at(channel));
    result(json, run.isEmpty() ? QStringLiteral("written %1").arg(file)
                               : QStringLiteral("written %1 to %2").arg(file, run.at(channel)));
    return ExitOk;
}

int CliRunner::runMemoryExport()
{
    if (const int bad =
            takeSaveFile(QStringLiteral("-o FILE.ept is required."), QStringLiteral("saves the memory")))
        return bad;

    if (!connectSession())
        return fromSession();
    ServiceCore &core = m_session->core();
    std::optional<FileResult> finished;
    QList<int> missing;
    const int total = MemoryImage::kPacketCount;
    QObject::connect(&core.memory, &MemoryTransfer::exportPacket, [&](int packet) {
        m_progress->update(packet);
        if (packet < total)
            m_session->expect(QStringLiteral("memory export packet %1/%2").arg(packet + 1).arg(total));
    });
    QObject::connect(&core.memory, &MemoryTransfer::exportFinished,
                     [&](const FileResult &r, const QList<int> &m) {
                         finished = r;
                         missing = m;
                     });
    m_session->setLossContext([&] { return QStringLiteral("during the memory export"); });
    m_progress->begin(QStringLiteral("memory export"), QStringLiteral("packet"), total,
                      kMemoryFileSize / total);
    if (!core.memory.memExptBtnClick())
        return fail(ExitNoDevice, QStringLiteral("The export request could not be sent: the link is down."));
    m_session->expect(QStringLiteral("memory export packet 1/%1").arg(total));
    if (!m_session->runUntil([&] { return finished.has_value(); }))
        return fromSession();
    if (!missing.isEmpty())
        return fail(ExitDeviceFailure, finished->error);
    if (finished->status == FileResult::Failed)
        return fail(ExitFileError,
                    finished->error + QStringLiteral(" Choose another file and export again."));
    if (!finished->ok())
        return fail(ExitUsage, QStringLiteral("Not saved: the question was answered no."));
    result(QJsonObject{{QStringLiteral("file"), finished->path}, {QStringLiteral("packets"), total}},
           QStringLiteral("saved %1").arg(finished->path));
    return ExitOk;
}

int CliRunner::runMemoryImport()
{
    if (const int bad = needAnswers(QStringLiteral("loads the memory file")))
        return bad;
    const QString file = m_positional.first();
    m_prompts->setOpenName(file);

    if (!connectSession())
        return fromSession();
    ServiceCore &core = m_session->core();
    const int total = MemoryImage::kPacketCount;
    bool done = false;
    int acknowledged = 0;
    QObject::connect(&core.memory, &MemoryTransfer::importPacket, [&](int packet) {
        acknowledged = std::max(acknowledged, packet);
        m_progress->update(packet);
        if (packet < total)
            m_session->expect(
                QStringLiteral("the acknowledgement of import packet %1/%2").arg(packet + 1).arg(total));
    });
    QObject::connect(&core.memory, &MemoryTransfer::importFinished, [&] { done = true; });
    m_session->setLossContext([&] {
        return QStringLiteral("during the memory import, after packet %1/%2").arg(acknowledged).arg(total);
    });
    if (!core.memory.memImptBtnClick()) {
        const FileResult &read = core.memory.lastFileResult();
        if (read.status == FileResult::Rejected || read.status == FileResult::Failed) {
            if (read.path.isEmpty())
                return fail(ExitNoDevice, QStringLiteral("The import could not start: the link is down."));
            return fail(ExitFileError, read.error + QStringLiteral(" Nothing was sent."));
        }
        if (!read.ok())
            return fail(ExitUsage, QStringLiteral("Not loaded: the question was answered no."));
        return fail(ExitNoDevice, QStringLiteral("The import could not start: the link is down."));
    }
    m_progress->begin(QStringLiteral("memory import"), QStringLiteral("packet"), total,
                      kMemoryFileSize / total);
    m_session->expect(QStringLiteral("the acknowledgement of import packet 1/%1").arg(total));
    if (!m_session->runUntil([&] { return done; }))
        return fromSession();
    result(QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("packets"), total}},
           QStringLiteral("imported %1").arg(file));
    return ExitOk;
}

int CliRunner::runFirmware()
{
    makeSession();
    m_session->loadVersion();
    ServiceCore &core = m_session->core();
    // Images first: a missing one ends the command before anything is connected.
    core.startImageCheck();
    core.images.waitForCheck(m_settings.timeoutSeconds * 1000);
    const ImageStore &store = core.images.store();
    for (int i = 0; i < kImageCount; ++i)
        if (!store.imageLoaded[i])
            return fail(
                ExitFileError,
                QStringLiteral("Firmware image %1 is missing or unreadable in %2%3. Put the four images "
                               "there or pass --lib DIR; nothing was sent.")
                    .arg(QLatin1String(firmwareIds[i]), QDir::toNativeSeparators(core.libDir()),
                         store.failure.isEmpty() ? QString()
                                                 : QStringLiteral(" (") + store.failure + QLatin1Char(')')));
    if (!m_session->connectDevice())
        return fromSession();

    CliFirmwareDisplay display(*m_progress);
    FirmwareRun run(core.firmware, display);
    FirmwareRun::Timings timings = run.timings();
    const int delay = m_rebootDelay >= 0 ? m_rebootDelay : core.version.rebootDelay;
    timings.rebootDelayMs = delay * 1000;
    if (m_pauseMs >= 0) {
        timings.imagePauseMs = m_pauseMs;
        timings.failurePauseMs = m_pauseMs;
    }
    run.setTimings(timings);
    const int rebootTimeout = m_rebootTimeout > 0 ? m_rebootTimeout : delay + 30;

    struct Outcome {
        int result = -1;
        int packets = 0;
        double seconds = 0;
        QString sha;
    };
    std::array<Outcome, kImageCount> outcomes;
    const auto imageId = [](int i) { return QLatin1String(firmwareIds[i]); };

    display.onProgress = [&](int image, int packet) {
        m_session->expect(QStringLiteral("the request after packet %1 of image %2/%3 (%4)")
                              .arg(packet)
                              .arg(image + 1)
                              .arg(kImageCount)
                              .arg(imageId(image)));
    };
    display.onCountdown = [&](bool visible) {
        if (visible)
            m_session->allowLongSilence(rebootTimeout);
    };
    QObject::connect(&run, &FirmwareRun::imageFinished, [&](int pos, int res) {
        Outcome &o = outcomes[pos];
        o.result = res;
        o.packets = res == FW_RESULT_DONE ? core.firmware.packNum(pos) : display.packetsSent();
        o.seconds = std::max(0.0, display.seconds());
        // The packet data exactly as it went out, 0xFF padding included.
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (int n = 0; n < o.packets; ++n)
            hash.addData(
                FirmwareProgrammer::packetFrame(pos, n, store.packet(pos, n)).mid(12, kFirmwarePacketData));
        o.sha = QString::fromLatin1(hash.result().toHex());
        m_progress->note(QStringLiteral("image %1/%2 %3: %4")
                             .arg(pos + 1)
                             .arg(kImageCount)
                             .arg(imageId(pos), resultWord(res)));
        const int next = pos + 1;
        if (next < kImageCount) {
            m_session->expect(QStringLiteral("the ready reply of image %1/%2 (%3)")
                                  .arg(next + 1)
                                  .arg(kImageCount)
                                  .arg(imageId(next)));
            // The first image after the restart: the device may still be coming up.
            if (pos == 0)
                m_session->allowLongSilence(rebootTimeout);
        }
    });
    bool over = false;
    QObject::connect(&run, &FirmwareRun::finished, [&] { over = true; });
    QObject::connect(&run, &FirmwareRun::stopped, [&](int pos) {
        m_session->finish(ExitNoDevice,
                          QStringLiteral("The connection was lost before image %1/%2 (%3). Connect "
                                         "again and run the programming again.")
                              .arg(pos + 1)
                              .arg(kImageCount)
                              .arg(imageId(pos)));
    });
    m_session->setLossContext([&] {
        return QStringLiteral("at image %1/%2 (%3), packet %4/%5")
            .arg(display.image() + 1)
            .arg(kImageCount)
            .arg(imageId(display.image()))
            .arg(display.packetsSent())
            .arg(core.firmware.packNum(display.image()));
    });
    WindowRegistration registration(core.link.windows(), kFirmwareWindowClass, &run);

    m_session->expect(QStringLiteral("the ready reply of image 1/%1 (%2)").arg(kImageCount).arg(imageId(0)));
    if (!run.program()) {
        const QString why = m_prompts->lastMessage();
        return fail(core.link.isLinkConnected() ? ExitFileError : ExitNoDevice, why);
    }
    if (!m_session->runUntil([&] { return over; }))
        return fromSession();

    bool allProgrammed = true;
    QJsonArray images;
    for (int i = 0; i < kImageCount; ++i) {
        const Outcome &o = outcomes[i];
        allProgrammed = allProgrammed && o.result == FW_RESULT_DONE;
        result(QJsonObject{{QStringLiteral("image"), i + 1},
                           {QStringLiteral("id"), imageId(i)},
                           {QStringLiteral("result"), resultWord(o.result)},
                           {QStringLiteral("packets"), o.packets},
                           {QStringLiteral("seconds"), qRound(o.seconds * 10) / 10.0},
                           {QStringLiteral("sha256"), o.sha}},
               QStringLiteral("image %1/%2 %3: %4, %5 packets, %6 s, sha256 %7")
                   .arg(i + 1)
                   .arg(kImageCount)
                   .arg(imageId(i), resultWord(o.result))
                   .arg(o.packets)
                   .arg(o.seconds, 0, 'f', 1)
                   .arg(o.sha));
    }
    if (!allProgrammed)
        return fail(ExitDeviceFailure,
                    QStringLiteral("The device did not take every image (%1). Check it and "
                                   "program again.")
                        .arg(display.status()));
    return ExitOk;
}

int CliRunner::runDsp()
{
    int dsp = 0;
    if (!parseInt(m_parser.value(QStringLiteral("dsp")), 1, 2, &dsp))
        return usageError(QStringLiteral("--dsp: give 1 or 2."));
    QString output = m_parser.value(QStringLiteral("output"));
    if (output.isEmpty())
        output = QDir::current().filePath(QStringLiteral("DSP%1.bin").arg(dsp));
    if (const int bad = checkWritable(output))
        return bad;
    // Written beside the target under its own name first, so an existing DSPn.bin there stays.
    QTemporaryDir staging(QFileInfo(output).absolutePath() + QStringLiteral("/.q48ctl-XXXXXX"));
    if (!staging.isValid())
        return fail(ExitFileError, QStringLiteral("Cannot write in %1: %2.")
                                       .arg(QFileInfo(output).absolutePath(), staging.errorString()));

    if (!connectSession())
        return fromSession();
    ServiceCore &core = m_session->core();
    core.dsp.setOutputFolder(staging.path());
    constexpr int frames = kDspLastPacket + 1;
    int received = 0;
    QString savedPath;
    bool gaveUp = false;
    QObject::connect(&core.dsp, &DspReadback::progressChanged, [&](int) {
        ++received;
        m_progress->update(std::min(received, frames));
        m_session->expect(QStringLiteral("DSP read-back frame %1/%2").arg(received + 1).arg(frames));
    });
    QObject::connect(&core.dsp, &DspReadback::imageSaved, [&](const QString &path) { savedPath = path; });
    QObject::connect(&core.link.watchdog(), &ResponseWatchdog::gaveUp, [&] { gaveUp = true; });
    m_session->setLossContext(
        [&] { return QStringLiteral("at DSP read-back frame %1/%2").arg(received).arg(frames); });
    m_progress->begin(QStringLiteral("DSP %1 read-back").arg(dsp), QStringLiteral("frame"), frames, 256);
    m_session->expect(QStringLiteral("DSP read-back frame 1/%1").arg(frames));
    core.dsp.DSPbtn1Click(dsp - 1);
    if (!m_session->runUntil([&] { return gaveUp || core.dsp.dspReady(); }))
        return fromSession();
    if (gaveUp)
        return fail(ExitTimeout,
                    QStringLiteral("Timeout: the DSP read-back stopped after %1 of %2 frames. Run the "
                                   "command again.")
                        .arg(received)
                        .arg(frames));
    if (savedPath.isEmpty())
        return fail(ExitFileError, m_prompts->lastMessage());
    QFile::remove(output);
    if (!QFile::rename(savedPath, output))
        return fail(ExitFileError, QStringLiteral("Cannot write \"%1\"; choose another file.").arg(output));
    const qint64 size = QFileInfo(output).size();
    result(QJsonObject{{QStringLiteral("dsp"), dsp},
                       {QStringLiteral("file"), output},
                       {QStringLiteral("bytes"), size}},
           QStringLiteral("saved %1 (%2 bytes)").arg(output).arg(size));
    return ExitOk;
}

int CliRunner::runCArray()
{
    int array = 0;
    if (!parseInt(m_parser.value(QStringLiteral("array")), 0, 4, &array))
        return usageError(QStringLiteral("--array: give 0 to 4."));
    const QString input = m_positional.first();
    const QString defaultName = QStringLiteral("f%1.cpp").arg(QLatin1String(firmwareArrayNames[array]));
    QString output = m_parser.value(QStringLiteral("output"));
    if (output.isEmpty())
        output = QDir::current().filePath(defaultName);
    if (const int bad = checkWritable(output))
        return bad;
    QTemporaryDir staging(QFileInfo(output).absolutePath() + QStringLiteral("/.q48ctl-XXXXXX"));
    if (!staging.isValid())
        return fail(ExitFileError, QStringLiteral("Cannot write in %1: %2.")
                                       .arg(QFileInfo(output).absolutePath(), staging.errorString()));
    m_prompts->setOpenName(input);
    QString written;
    if (exportCArray(array, *m_prompts, staging.path(), &written) == QLatin1String("0") || written.isEmpty())
        return fail(ExitFileError, m_prompts->lastMessage());
    QFile::remove(output);
    if (!QFile::rename(written, output))
        return fail(ExitFileError, QStringLiteral("Cannot write \"%1\"; choose another file.").arg(output));
    result(QJsonObject{{QStringLiteral("input"), input}, {QStringLiteral("file"), output}},
           QStringLiteral("saved %1").arg(output));
    return ExitOk;
}

} // namespace q48

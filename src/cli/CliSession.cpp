#include "CliSession.h"

#include "CliPrompts.h"
#include "presets/PresetKinds.h"

#include <QEventLoop>

namespace q48 {

namespace {
constexpr int kPollMs = 10;
const QString kSearchingAgain = QStringLiteral(" Searching for the mixer again.");

// The list chain runs DSP Channel, GEQ, DFX, Scene.
QString listName(int kind)
{
    return QStringLiteral("the %1 name list").arg(kindLabel(kind));
}
} // namespace

CliSession::CliSession(CliPrompts &prompts, const Settings &settings, QObject *parent)
    : QObject(parent), m_prompts(prompts), m_settings(settings)
{
    m_core = std::make_unique<ServiceCore>(prompts, m_settings.core);
    m_silence.setSingleShot(true);
    m_silence.setInterval(m_settings.timeoutSeconds * 1000);
    connect(&m_silence, &QTimer::timeout, this, &CliSession::silenceExpired);

    LinkCore &link = m_core->link;
    connect(&link.linkSocket(), &QTcpSocket::readyRead, this, &CliSession::deviceSpoke);
    connect(&link.serialPort(), &QSerialPort::readyRead, this, &CliSession::deviceSpoke);
    // Queued behind the connection manager's own handling, whose message names the cause.
    connect(&link, &LinkCore::linkDown, this, &CliSession::linkLost, Qt::QueuedConnection);
    connect(&link, &LinkCore::linkFailed, this, &CliSession::linkLost, Qt::QueuedConnection);
}

CliSession::~CliSession()
{
    m_core->shutdown();
}

void CliSession::loadVersion()
{
    m_core->loadVersionFile();
    if (m_settings.utype)
        m_core->setUtype(*m_settings.utype);
}

bool CliSession::runUntil(const std::function<bool()> &done)
{
    if (m_finished || done())
        return !m_finished;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (m_finished || done())
            loop.quit();
    });
    poll.start();
    loop.exec();
    return !m_finished && done();
}

void CliSession::finish(int code, const QString &error)
{
    if (m_finished)
        return;
    m_finished = true;
    m_exitCode = code;
    m_error = error;
    m_silence.stop();
}

void CliSession::expect(const QString &what)
{
    m_awaiting = what;
    m_silence.setInterval(m_settings.timeoutSeconds * 1000);
    m_silence.start();
}

void CliSession::allowLongSilence(int seconds)
{
    m_silence.setInterval(seconds * 1000);
    m_silence.start();
}

void CliSession::deviceSpoke()
{
    if (!m_silence.isActive())
        return;
    m_silence.setInterval(m_settings.timeoutSeconds * 1000);
    m_silence.start();
}

void CliSession::silenceExpired()
{
    const int seconds = m_silence.interval() / 1000;
    if (m_silenceCode == ExitNoDevice) {
        finish(ExitNoDevice,
               QStringLiteral("No device found: no mixer answered within %1 s. Check that it is on and "
                              "cabled, the search options (--search-address, --serial-ports), or name it "
                              "with --device HOST or --serial PORT.")
                   .arg(seconds));
        return;
    }
    finish(ExitTimeout,
           QStringLiteral("Timeout: the device sent nothing for %1 s while waiting for %2. "
                          "Check the device and run the command again (--timeout sets the wait).")
               .arg(seconds)
               .arg(m_awaiting));
}

QString CliSession::coreMessageSince(int count) const
{
    const QStringList messages = m_prompts.messages();
    for (qsizetype i = messages.size() - 1; i >= count; --i) {
        QString text = messages.at(i);
        // The window goes back to searching; the command line ends instead.
        if (text.endsWith(kSearchingAgain))
            text.chop(kSearchingAgain.size());
        if (text.startsWith(QLatin1String("Cannot")) || text.startsWith(QLatin1String("The connection")))
            return text;
    }
    return {};
}

void CliSession::linkLost()
{
    if (m_finished || (!m_connecting && !m_connected) || m_core->link.isLinkConnected())
        return;
    const QString cause = coreMessageSince(m_messagesBeforeConnect);
    if (m_connecting) {
        finish(ExitNoDevice,
               (cause.isEmpty() ? QStringLiteral("Cannot connect to %1.").arg(m_deviceName) : cause) +
                   QStringLiteral(" Check the device and the address or port, then try again."));
        return;
    }
    QString text =
        cause.isEmpty() ? QStringLiteral("The connection to %1 was lost.").arg(m_deviceName) : cause;
    if (m_lossContext) {
        const QString where = m_lossContext();
        if (!where.isEmpty())
            text += QStringLiteral(" It dropped %1.").arg(where);
    }
    finish(ExitNoDevice, text + QStringLiteral(" Check the cable or network and run the command again."));
}

bool CliSession::findDevice()
{
    Discovery &discovery = m_core->discovery;
    if (!m_settings.device.isEmpty()) {
        m_deviceName = m_settings.device;
        m_deviceKind = Discovery::kTcp;
        discovery.addFoundDevice(m_deviceName, m_deviceKind);
        return true;
    }
    if (!m_settings.serial.isEmpty()) {
        m_deviceName = m_settings.serial;
        m_deviceKind = Discovery::kSerial;
        discovery.addFoundDevice(m_deviceName, m_deviceKind);
        return true;
    }
    m_core->startDiscovery();
    discovery.startProbing();
    m_silenceCode = ExitNoDevice;
    expect(QStringLiteral("a mixer to answer the search"));
    const bool found = runUntil([&] { return discovery.deviceFound(); });
    m_silenceCode = ExitTimeout;
    m_silence.stop();
    if (!found)
        return false;
    m_deviceName = discovery.foundDeviceList().value(0);
    m_deviceKind = discovery.linkKind();
    return true;
}

bool CliSession::connectDevice()
{
    if (!findDevice())
        return false;
    bool listsRead = false;
    int nextList = kKindDspChannel;
    PresetCommands &presets = m_core->presets;
    const auto stored = connect(&presets, &PresetCommands::presetListStored, this, [&](int kind) {
        // DSP Channel, GEQ, DFX, Scene: each reply asks for the next kind.
        nextList = kind + 1;
        if (isPresetKind(nextList))
            expect(listName(nextList));
    });
    const auto read = connect(&presets, &PresetCommands::listsRead, this, [&] { listsRead = true; });

    m_messagesBeforeConnect = int(m_prompts.messages().size());
    m_connecting = true;
    expect(QStringLiteral("the connection to %1").arg(m_deviceName));
    m_core->connection.connectButtonClick();
    // No link object left means the connect was refused or failed outright.
    const bool up =
        runUntil([&] { return m_core->connection.isConnected() || !m_core->link.activeLink(); }) &&
        m_core->connection.isConnected();
    m_connecting = false;
    if (up) {
        m_connected = true;
        expect(listName(nextList));
        runUntil([&] { return listsRead; });
    } else if (!m_finished) {
        const QString cause = coreMessageSince(m_messagesBeforeConnect);
        finish(ExitNoDevice,
               (cause.isEmpty() ? QStringLiteral("Cannot connect to %1.").arg(m_deviceName) : cause) +
                   QStringLiteral(" Check the device and the address or port, then try again."));
    }
    disconnect(stored);
    disconnect(read);
    m_silence.stop();
    return !m_finished && listsRead;
}

} // namespace q48

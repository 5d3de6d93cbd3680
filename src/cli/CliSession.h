#pragma once

#include "ExitCode.h"
#include "ServiceCore.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace q48 {

class CliPrompts;

// One run of q48ctl against the core: finds and connects as the main window does, keeps the
// "no answer for too long" clock, and turns a dropped link into an error that says where.
class CliSession : public QObject {
    Q_OBJECT
public:
    struct Settings {
        ServiceCore::Options core;
        QString device; // host[:port] for TCP, skips discovery
        QString serial; // port name, skips discovery
        int timeoutSeconds = 30;
        std::optional<int> utype;
    };

    CliSession(CliPrompts &prompts, const Settings &settings, QObject *parent = nullptr);
    ~CliSession() override;

    ServiceCore &core() { return *m_core; }
    const Settings &settings() const { return m_settings; }

    // Reads Ver.ini and applies --utype; no link needed.
    void loadVersion();
    // Finds the device (unless named), waits until discovery picked one; false on failure.
    bool findDevice();
    // findDevice, connect, and wait for the four name lists the connect reads.
    bool connectDevice();

    // Runs events until `done` holds or the session finished; true when `done` held.
    bool runUntil(const std::function<bool()> &done);

    // Ends the run with this code; the first call wins.
    void finish(int code, const QString &error = QString());
    bool isFinished() const { return m_finished; }
    int exitCode() const { return m_exitCode; }
    QString errorText() const { return m_error; }

    // What the device is to send next; restarts the no-answer clock.
    void expect(const QString &what);
    // The next silence may last this long (the device's restart); back to --timeout at its
    // next answer.
    void allowLongSilence(int seconds);
    // Adds where a lost link left things ("at image 2/4, packet 17/120").
    void setLossContext(std::function<QString()> context) { m_lossContext = std::move(context); }

    // The device name the connection went to, as discovery or the options gave it.
    QString deviceName() const { return m_deviceName; }
    int deviceKind() const { return m_deviceKind; }

private:
    void deviceSpoke();
    void silenceExpired();
    void linkLost();
    QString coreMessageSince(int count) const;

    CliPrompts &m_prompts;
    Settings m_settings;
    std::unique_ptr<ServiceCore> m_core;
    QTimer m_silence;
    QString m_awaiting;
    int m_silenceCode = ExitTimeout;
    bool m_connecting = false;
    bool m_connected = false;
    bool m_finished = false;
    int m_exitCode = ExitOk;
    QString m_error;
    std::function<QString()> m_lossContext;
    QString m_deviceName;
    int m_deviceKind = 0;
    int m_messagesBeforeConnect = 0;
};

} // namespace q48

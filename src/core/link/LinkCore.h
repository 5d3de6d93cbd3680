#pragma once

#include "Client.h"
#include "Dispatcher.h"
#include "FrameAssembler.h"
#include "FrameSink.h"
#include "ResponseWatchdog.h"
#include "WindowRegistry.h"

#include <QObject>
#include <QSerialPort>
#include <QTcpSocket>

#include <memory>

namespace q48 {

class UserPrompts;

// The one link to the mixer: the serial port and TCP socket it may run on, the endpoint in
// use (activeLink), and the receive path from those into the assembler and the dispatcher.
// Every frame the tool sends goes through sendFrame.
class LinkCore : public QObject, public FrameSink {
    Q_OBJECT
public:
    enum LinkKind { SerialLink = 0, TcpLink = 1 };
    // Bytes taken from the port or socket per read.
    static constexpr qint64 kReadChunk = 8192;

    explicit LinkCore(UserPrompts &prompts, QObject *parent = nullptr);
    ~LinkCore() override;

    // Makes activeLink for the target (serial: port name; TCP: "host:port") and opens it.
    // False, and nothing done, while a link exists or for a target it cannot use. A failed
    // open is reported by linkFailed; the link object stays until releaseLink.
    bool openLink(int linkKind, const QString &target);
    // Closes activeLink if connected and deletes it. A TCP connect still under way is abandoned.
    void releaseLink();
    Client *activeLink() const { return m_activeLink.get(); }

    bool isLinkConnected() const override;
    bool sendFrame(const QByteArray &frame) override;

    // Drops the frame in progress and everything received but not yet assembled, including
    // what waits in the serial driver and the socket; for the device's restart.
    void discardInput();
    void setUtype(int utype) { m_assembler.setUtype(utype); }

    // Pause after each serial write for links opened from now on.
    void setSerialWritePause(int milliseconds) { m_serialWritePauseMs = milliseconds; }

    FrameAssembler &assembler() { return m_assembler; }
    Dispatcher &dispatcher() { return m_dispatcher; }
    WindowRegistry &windows() { return m_windows; }
    Notifier &notifier() { return m_notifier; }
    ResponseWatchdog &watchdog() { return m_watchdog; }
    QSerialPort &serialPort() { return m_port; }
    QTcpSocket &linkSocket() { return ClientSocket1; }

    // Receive and state handlers of the port and the socket.
    void m_portRxChar();
    void m_portAfterOpen();
    void m_portBeforeClose();
    void m_portError(QSerialPort::SerialPortError error);
    void ClientSocket1Read();
    void ClientSocket1Connect();
    void ClientSocket1Disconnect();
    void ClientSocket1Error(QAbstractSocket::SocketError error);

signals:
    void linkUp();
    void linkDown();
    void linkFailed(const QString &reason);

private:
    void readAll(QIODevice &device);

    QSerialPort m_port;
    QTcpSocket ClientSocket1;
    // Declared after the port and socket it points into, so it goes first.
    std::unique_ptr<Client> m_activeLink;
    FrameAssembler m_assembler;
    Dispatcher m_dispatcher;
    WindowRegistry m_windows;
    Notifier m_notifier{m_windows};
    ResponseWatchdog m_watchdog;
    int m_serialWritePauseMs;
};

} // namespace q48

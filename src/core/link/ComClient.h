#pragma once

#include "Client.h"

class QSerialPort;

namespace q48 {

// The mixer's line settings: 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control.
// Applied to the link port and to discovery's sweep port.
void applyPortSettings(QSerialPort &port);

// The mixer on a serial port. The port belongs to the caller.
class ComClient : public Client {
public:
    static constexpr int kDefaultWritePauseMs = 10;

    explicit ComClient(QSerialPort *port, int writePauseMs = kDefaultWritePauseMs);

    // Refused (false) for an empty name or while the port is open.
    bool setTarget(const QString &text) override;
    QString target() const override;
    // Opens with the line settings; a failure leaves the port closed and is kept in errorString().
    void open() override;
    void close() override;
    // Hands the bytes to the driver, then pauses so the device gets each frame apart.
    qint32 write(const char *data, qint32 count) override;
    qint32 read(char *data, qint32 count) override;
    bool isConnected() const override;
    qint32 available() const override { return 0; }
    QString errorString() const override { return m_error; }

    int writePause() const { return m_writePauseMs; }
    void setWritePause(int milliseconds) { m_writePauseMs = milliseconds; }
    QSerialPort *port() const { return m_port; }

private:
    QSerialPort *m_port;
    int m_writePauseMs;
    QString m_error;
};

} // namespace q48

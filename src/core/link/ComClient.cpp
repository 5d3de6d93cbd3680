#include "ComClient.h"

#include "CommandCodes.h"
#include "DebugLog.h"

#include <QSerialPort>
#include <QThread>

namespace q48 {

void applyPortSettings(QSerialPort &port)
{
    port.setBaudRate(kSerialBaud);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

ComClient::ComClient(QSerialPort *port, int writePauseMs) : m_port(port), m_writePauseMs(writePauseMs) {}

bool ComClient::setTarget(const QString &text)
{
    if (text.isEmpty() || m_port->isOpen())
        return false;
    m_port->setPortName(text);
    return true;
}

QString ComClient::target() const
{
    return m_port->portName();
}

void ComClient::open()
{
    if (m_port->isOpen())
        return;
    m_error.clear();
    m_port->clearError();
    applyPortSettings(*m_port);
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_error = m_port->errorString();
        qCWarning(lcLink).noquote() << "cannot open serial port" << m_port->portName() << ":" << m_error;
        return;
    }
    // The line control signals stay low, as the device expects; a port that cannot drive
    // them (a pseudo-terminal, some adapters) works without.
    m_port->setDataTerminalReady(false);
    m_port->setRequestToSend(false);
    m_port->clearError();
}

void ComClient::close()
{
    if (m_port->isOpen())
        m_port->close();
}

qint32 ComClient::write(const char *data, qint32 count)
{
    if (!m_port->isOpen())
        return -1;
    const qint64 written = m_port->write(data, count);
    if (written < 0) {
        m_error = m_port->errorString();
        qCWarning(lcLink).noquote() << "serial write failed:" << m_error;
    } else {
        // Hand the bytes to the driver now, so the pause separates them on the line.
        m_port->flush();
    }
    if (m_writePauseMs > 0)
        QThread::msleep(static_cast<unsigned long>(m_writePauseMs));
    return static_cast<qint32>(written);
}

qint32 ComClient::read(char *data, qint32 count)
{
    if (!m_port->isOpen())
        return -1;
    return static_cast<qint32>(m_port->read(data, count));
}

bool ComClient::isConnected() const
{
    return m_port->isOpen();
}

} // namespace q48

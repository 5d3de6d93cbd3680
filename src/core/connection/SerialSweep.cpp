#include "SerialSweep.h"

#include "link/ComClient.h"
#include "link/DebugLog.h"
#include "link/LinkFrame.h"
#include "link/SerialPortList.h"

#include <QMutexLocker>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

namespace q48 {

SerialSweep::SerialSweep(int portStepMs, int passGapMs) : m_portStepMs(portStepMs), m_passGapMs(passGapMs) {}

// Runs on the sweep thread (deleted there when the thread finishes), so the port is closed
// by the thread that owns it.
SerialSweep::~SerialSweep()
{
    if (ComPort1 && ComPort1->isOpen())
        ComPort1->close();
}

void SerialSweep::setPorts(const QStringList &ports)
{
    QMutexLocker locker(&m_lock);
    m_ports = ports;
}

QStringList SerialSweep::ports() const
{
    QMutexLocker locker(&m_lock);
    return m_ports;
}

void SerialSweep::setPaused(bool paused)
{
    m_paused.store(paused);
}

void SerialSweep::begin()
{
    ComPort1 = std::make_unique<QSerialPort>();
    applyPortSettings(*ComPort1);
    m_client = std::make_unique<ComClient>(ComPort1.get());
    connect(ComPort1.get(), &QSerialPort::readyRead, this, &SerialSweep::takeReply);
    // Errors of the sweep's port only mean "no mixer here"; they are noted, never shown. Open
    // failures are noted by probe(); a poll that finds nothing and line signals a
    // pseudo-terminal lacks are no errors at all.
    connect(ComPort1.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
            error == QSerialPort::WriteError || error == QSerialPort::UnknownError)
            qCDebug(lcDiscovery) << "sweep port" << m_currentPort << ComPort1->errorString();
    });
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &SerialSweep::step);
    schedule(0);
}

void SerialSweep::closePort()
{
    if (m_client && m_client->isConnected())
        m_client->close();
    // Whatever pass was under way ends here; the next one starts from the last port again.
    m_inPass = false;
}

void SerialSweep::schedule(int ms)
{
    m_timer->start(ms);
}

void SerialSweep::step()
{
    if (!m_inPass) {
        const QStringList list = ports();
        if (m_paused.load() || list.isEmpty()) {
            schedule(m_passGapMs);
            return;
        }
        m_inPass = true;
        m_index = int(list.size()) - 1;
    }
    // Checked at every port, not only between passes: once the search is paused (a find or
    // a connect), the sweep must not go on taking ports, one of which the link may need.
    if (m_paused.load() || m_index < 0) {
        m_inPass = false;
        schedule(m_passGapMs);
        return;
    }

    const QStringList list = ports();
    const int index = m_index--;
    // The list may have been replaced by a shorter one during the pass: skip what is gone.
    if (index >= list.size()) {
        schedule(0);
        return;
    }
    probe(list.at(index));
    schedule(m_portStepMs);
}

void SerialSweep::probe(const QString &portName)
{
    if (m_client->isConnected()) {
        // A reply that reached the previous port just now still counts for that port.
        ComPort1->waitForReadyRead(0);
        m_client->close();
    }
    if (!m_client->setTarget(portName))
        return;
    m_currentPort = portName;
    m_client->open();
    if (!m_client->isConnected()) {
        qCDebug(lcDiscovery) << "sweep cannot open" << portName << m_client->errorString();
        return;
    }
    const QByteArray frame = LinkFrame::probe();
    m_client->write(frame.constData(), qint32(frame.size()));
}

void SerialSweep::takeReply()
{
    const QByteArray bytes = ComPort1->readAll();
    if (!bytes.isEmpty())
        emit replyReceived(m_currentPort);
}

SerialSweep *SerialSweep::createOnThread(QObject *owner, QThread **thread, int portStepMs, int passGapMs,
                                         const QStringList &ports, bool paused)
{
    *thread = new QThread(owner);
    auto *sweep = new SerialSweep(portStepMs, passGapMs);
    sweep->setPorts(ports);
    sweep->setPaused(paused);
    sweep->moveToThread(*thread);
    QObject::connect(*thread, &QThread::started, sweep, &SerialSweep::begin);
    QObject::connect(*thread, &QThread::finished, sweep, &QObject::deleteLater);
    return sweep;
}

void SerialSweep::stopThread(QThread *&thread, SerialSweep *&sweep)
{
    if (!thread)
        return;
    thread->quit();
    thread->wait();
    delete thread;
    thread = nullptr;
    sweep = nullptr;
}

} // namespace q48

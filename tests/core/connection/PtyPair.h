#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace q48::test {

// A pseudo-terminal standing in for a serial port: the code under test opens path(), the
// test plays the device on the master side.
class PtyPair {
public:
    PtyPair()
    {
        char name[128] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        tcgetattr(m_slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_slave, TCSANOW, &raw);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
    }
    ~PtyPair()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    // Waits, without running the event loop, until count bytes came from the port or the
    // time is up; returns what came.
    QByteArray readFromPort(int count, int timeoutMs)
    {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        while (got.size() < count && !deadline.hasExpired()) {
            pollfd fd{m_master, POLLIN, 0};
            if (::poll(&fd, 1, int(qMin<qint64>(deadline.remainingTime(), 50))) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, int(n));
        }
        return got;
    }

    void writeToPort(const QByteArray &bytes)
    {
        (void)!::write(m_master, bytes.constData(), size_t(bytes.size()));
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

} // namespace q48::test

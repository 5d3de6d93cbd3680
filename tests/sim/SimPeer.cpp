#include "SimPeer.h"

#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace q48::test {

std::unique_ptr<SimPeer> SimPeer::tcp(quint16 port)
{
    std::unique_ptr<SimPeer> peer(new SimPeer);
    peer->socket_ = std::make_unique<QTcpSocket>();
    peer->socket_->connectToHost(QStringLiteral("127.0.0.1"), port);
    peer->socket_->waitForConnected(5000);
    return peer;
}

std::unique_ptr<SimPeer> SimPeer::serial(const QString &path)
{
    std::unique_ptr<SimPeer> peer(new SimPeer);
#ifdef Q_OS_UNIX
    peer->fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (peer->fd_ >= 0) {
        termios tio{};
        ::tcgetattr(peer->fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(peer->fd_, TCSANOW, &tio);
    }
#else
    Q_UNUSED(path);
#endif
    return peer;
}

SimPeer::~SimPeer()
{
#ifdef Q_OS_UNIX
    if (fd_ >= 0)
        ::close(fd_);
#endif
}

bool SimPeer::isOpen() const
{
    return socket_ ? socket_->state() == QAbstractSocket::ConnectedState : fd_ >= 0;
}

void SimPeer::send(const QByteArray &bytes)
{
    if (socket_) {
        socket_->write(bytes);
        socket_->waitForBytesWritten(5000);
        return;
    }
#ifdef Q_OS_UNIX
    qsizetype done = 0;
    const QDeadlineTimer deadline(5000);
    while (fd_ >= 0 && done < bytes.size() && !deadline.hasExpired()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else
            QThread::msleep(1);
    }
#endif
}

bool SimPeer::fill(const QDeadlineTimer &deadline)
{
    const int wait = int(qMax<qint64>(0, deadline.remainingTime()));
    if (socket_) {
        if (socket_->bytesAvailable() == 0 && !socket_->waitForReadyRead(wait))
            return false;
        buffer_.append(socket_->readAll());
        ++arrivals_;
        return true;
    }
#ifdef Q_OS_UNIX
    if (fd_ < 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, wait) <= 0)
        return false;
    char chunk[8192];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n <= 0)
        return false;
    buffer_.append(chunk, int(n));
    ++arrivals_;
    return true;
#else
    return false;
#endif
}

QByteArray SimPeer::readFrame(int size, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    arrivals_ = 0;
    skipped_ = 0;
    while (true) {
        const qsizetype start = buffer_.indexOf(QByteArray::fromHex("012003"));
        if (start > 0) {
            skipped_ += int(start);
            buffer_.remove(0, start);
        }
        if (start >= 0 && buffer_.size() >= size) {
            const QByteArray frame = buffer_.left(size);
            buffer_.remove(0, size);
            return frame;
        }
        if (deadline.hasExpired() || !fill(deadline))
            return {};
    }
}

QByteArray SimPeer::readBytes(int n, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    arrivals_ = 0;
    while (buffer_.size() < n && !deadline.hasExpired() && fill(deadline)) {
    }
    const QByteArray out = buffer_.left(n);
    buffer_.remove(0, out.size());
    return out;
}

QByteArray SimPeer::collect(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired() && fill(deadline)) {
    }
    const QByteArray out = buffer_;
    buffer_.clear();
    return out;
}

bool SimPeer::waitClosed(int ms)
{
    if (!socket_)
        return false;
    const QDeadlineTimer deadline(ms);
    while (socket_->state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
        if (socket_->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            buffer_.append(socket_->readAll());
    }
    return socket_->state() == QAbstractSocket::UnconnectedState;
}

} // namespace q48::test

#include "PtyLink.h"

#include "Mixer.h"
#include "Session.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#if __has_include(<pty.h>)
#include <pty.h>
#elif __has_include(<util.h>)
#include <util.h>
#elif __has_include(<libutil.h>)
#include <libutil.h>
#endif
#define Q48_SIM_HAS_PTY 1
#endif

namespace q48::sim {

PtyLink::PtyLink(Mixer &mixer, OutputChannel::Shaping shaping, QObject *parent)
    : QObject(parent), mixer_(mixer), shaping_(shaping)
{
}

bool PtyLink::supported()
{
#ifdef Q48_SIM_HAS_PTY
    return true;
#else
    return false;
#endif
}

#ifdef Q48_SIM_HAS_PTY

PtyLink::~PtyLink()
{
    delete session_;
    if (!linkPath_.isEmpty())
        QFile::remove(linkPath_);
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyLink::open(const QString &linkPath, QString *error)
{
    const QFileInfo existing(linkPath);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
            return false;
        }
        QFile::remove(linkPath);
    }
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Raw on both ends: the line discipline must not eat 0x04 or turn 0x0D into 0x0A.
    for (int fd : {slave_, master_}) {
        termios tio{};
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (!QFile::link(QString::fromLocal8Bit(name), linkPath)) {
        *error =
            QStringLiteral("cannot create the link %1 to %2").arg(linkPath, QString::fromLocal8Bit(name));
        return false;
    }
    linkPath_ = linkPath;

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PtyLink::onReadable);
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PtyLink::onWritable);

    session_ = new Session(
        QStringLiteral("serial"), mixer_, [this](const QByteArray &bytes) { write(bytes); }, {}, shaping_);
    return true;
}

void PtyLink::onReadable()
{
    char buffer[8192];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0 && session_)
        session_->receive(QByteArray(buffer, int(n)));
}

void PtyLink::write(const QByteArray &bytes)
{
    unsent_.append(bytes);
    onWritable();
}

void PtyLink::onWritable()
{
    while (!unsent_.isEmpty()) {
        const ssize_t n = ::write(master_, unsent_.constData(), size_t(unsent_.size()));
        if (n <= 0)
            break;
        unsent_.remove(0, n);
    }
    // Nobody reading the slave yet: hold the rest until the line has room again.
    writeNotifier_->setEnabled(!unsent_.isEmpty());
}

#else

PtyLink::~PtyLink() = default;

bool PtyLink::open(const QString &, QString *error)
{
    *error = QStringLiteral("pseudo-terminals are not available on this platform");
    return false;
}

void PtyLink::onReadable() {}
void PtyLink::onWritable() {}
void PtyLink::write(const QByteArray &) {}

#endif

} // namespace q48::sim

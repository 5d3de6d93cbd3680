#pragma once

// Ways to make a save fail that hold even for root, who ignores file permissions.

#include <QFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace q48::test {

// Puts a regular file at `path`, so that nothing can be created beneath it: a folder that
// cannot be written to, for every user.
inline bool blockFolder(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("not a folder") > 0;
}

#ifdef Q_OS_UNIX
// While it lives, every write that takes a file past `bytes` fails as on a full disk
// (EFBIG, with SIGXFSZ ignored so the process survives it).
class DiskFull {
public:
    explicit DiskFull(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskFull()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    DiskFull(const DiskFull &) = delete;
    DiskFull &operator=(const DiskFull &) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
#endif

} // namespace q48::test

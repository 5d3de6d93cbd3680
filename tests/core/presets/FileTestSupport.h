#pragma once

#include "FakePrompts.h"
#include "TestFiles.h"
#include "link/WindowRegistry.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <ostream>

// Readable failure output for texts and paths.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace q48::test {

// Records the link events that reach the preset manager window.
class RecordingWindow : public NotifyTarget {
public:
    QList<int> events;
    long handleNotify(int, qintptr, qintptr lParam) override
    {
        events.append(int(lParam));
        return 0;
    }
};

// A temporary folder, scripted prompts and an open preset manager window.
class FileFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakePrompts prompts;
    WindowRegistry registry;
    Notifier notifier{registry};
    RecordingWindow window;
    WindowRegistration registration{registry, kPresetWindowClass, &window};

    QString path(const QString &name) const { return dir.filePath(name); }

    static QByteArray readFile(const QString &name) { return test::readFile(name); }
    static void writeFile(const QString &name, const QByteArray &content) { test::writeFile(name, content); }
    QStringList filesInDir() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    int rejectedEvents() const { return int(window.events.count(LN_PRESET_FILE_REJECTED)); }
};

inline bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

#ifdef Q_OS_UNIX
// Makes every file write beyond `bytes` fail, as a full disk would, for as long as it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
#endif

} // namespace q48::test

#pragma once

#include "FakePrompts.h"
#include "TestFiles.h"
#include "link/FrameSink.h"
#include "link/WindowRegistry.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <utility>

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << bytes.size() << " bytes: " << bytes.left(16).toHex(' ').toStdString();
}

namespace q48::test {

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Records what the senders hand over, as the link would take it.
class RecordingSink : public FrameSink {
public:
    bool connected = true;
    QList<QByteArray> sent;

    bool isLinkConnected() const override { return connected; }
    bool sendFrame(const QByteArray &frame) override
    {
        if (!connected)
            return false;
        sent << frame;
        return true;
    }
};

// The preset manager window as the core sees it: (event, wParam) pairs in order.
class EventWindow : public NotifyTarget {
public:
    QList<std::pair<int, int>> events;
    long handleNotify(int, qintptr wParam, qintptr lParam) override
    {
        events.append({int(lParam), int(wParam)});
        return 0;
    }
};

// A connected sink, scripted prompts answering into a temporary folder and an open preset window.
class CommandFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakePrompts prompts;
    RecordingSink sink;
    WindowRegistry registry;
    Notifier notifier{registry};
    EventWindow window;
    WindowRegistration registration{registry, kPresetWindowClass, &window};

    QString path(const QString &name) const { return dir.filePath(name); }
    static QByteArray readFile(const QString &name) { return test::readFile(name); }
    static void writeFile(const QString &name, const QByteArray &content) { test::writeFile(name, content); }
};

} // namespace q48::test

#pragma once

// A LinkCore connected to a q48-sim over TCP or the simulator's pseudo-terminal, with the
// firmware programmer, a firmware window stand-in and the DSP read-back on top.

#include "firmware/DspReadback.h"
#include "firmware/FirmwareProgrammer.h"
#include "firmware/FirmwareRun.h"
#include "firmware/ImageLoader.h"
#include "link/LinkCore.h"

#include "../core/firmware/FirmwareRunSupport.h"
#include "FakePrompts.h"
#include "SimProcess.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace q48::test {

// Takes the firmware window's two messages and hands them to the run, as the window does.
class FirmwareWindowStub : public NotifyTarget {
public:
    FirmwareRun *run = nullptr;
    long handleNotify(int message, qintptr wParam, qintptr lParam) override
    {
        if (run && message == WM_LINK_NOTIFY)
            run->onProgressMessage(int(wParam));
        else if (run && message == WM_FIRMWARE_RESULT)
            run->onResultMessage(int(wParam), int(lParam));
        return 0;
    }
};

inline std::string firmwareLinkName(const ::testing::TestParamInfo<int> &info)
{
    return info.param == LinkCore::SerialLink ? "Serial" : "Tcp";
}

class FirmwareE2eFixture : public ::testing::TestWithParam<int> {
protected:
    FakePrompts prompts;
    std::unique_ptr<SimProcess> sim;
    LinkCore core{prompts};
    std::unique_ptr<ImageLib> lib;
    std::unique_ptr<ImageLoader> loader;
    std::unique_ptr<FirmwareProgrammer> programmer;
    DisplayRecorder display;
    std::unique_ptr<FirmwareRun> run;
    FirmwareWindowStub window;
    std::unique_ptr<WindowRegistration> registration;
    QList<QPair<int, int>> outcomes;

    void TearDown() override
    {
        registration.reset();
        core.releaseLink();
        if (sim)
            sim->stop();
    }

    bool serial() const { return GetParam() == LinkCore::SerialLink; }

    void startSim(const QStringList &args)
    {
        sim = std::make_unique<SimProcess>(args);
        if (serial())
            sim->enableSerial();
        ASSERT_TRUE(sim->start()) << sim->errorString().toStdString();
    }

    void connectLink()
    {
        const QString target =
            serial() ? sim->serialPath() : QStringLiteral("127.0.0.1:%1").arg(sim->tcpPort());
        ASSERT_TRUE(core.openLink(GetParam(), target));
        ASSERT_TRUE(QTest::qWaitFor([&] { return core.isLinkConnected(); }, 5000));
    }

    // The main window's side and one opening of the firmware window over a lib of these sizes.
    void openFirmwareWindow(const QList<qint64> &sizes, int rebootDelayMs)
    {
        lib = std::make_unique<ImageLib>(sizes);
        loader = std::make_unique<ImageLoader>();
        loader->startImageCheck(lib->path());
        programmer = std::make_unique<FirmwareProgrammer>(core, prompts, *loader);
        programmer->registerHandlers(core.dispatcher());
        run = std::make_unique<FirmwareRun>(*programmer, display);
        FirmwareRun::Timings t;
        t.rebootDelayMs = rebootDelayMs;
        t.imagePauseMs = 100;
        t.failurePauseMs = 100;
        run->setTimings(t);
        QObject::connect(run.get(), &FirmwareRun::imageFinished, [this](int pos, int result) {
            outcomes.append({pos, result});
        });
        window.run = run.get();
        registration = std::make_unique<WindowRegistration>(core.windows(), kFirmwareWindowClass, &window);
    }

    // Lets events run for a while; frames still under way arrive meanwhile.
    static void settle(int milliseconds)
    {
        QDeadlineTimer deadline(milliseconds);
        while (!deadline.hasExpired())
            QTest::qWait(10);
    }

    QJsonObject stopSim()
    {
        core.releaseLink();
        sim->stop();
        return sim->summary();
    }

    // The frames the simulator received, one short token each: "F8", "FA:0 n=3" (start with
    // its packet count), "FB:0 #2" (packet with its number), "04" (end byte).
    QStringList receivedTokens() const
    {
        QStringList tokens;
        for (const QJsonObject &f : sim->recordedFrames()) {
            const QByteArray b = QByteArray::fromHex(f.value(QStringLiteral("hex")).toString().toLatin1());
            const int command = f.value(QStringLiteral("command")).toInt();
            const QString head = QStringLiteral("%1").arg(command, 2, 16, QLatin1Char('0')).toUpper();
            const auto number = [&b] { return quint8(b[10]) * 256 + quint8(b[11]); };
            if (command == 0xF0 || command == 0xFA)
                tokens << QStringLiteral("%1:%2 n=%3").arg(head).arg(quint8(b[9])).arg(number());
            else if (command == 0xF1 || command == 0xFB)
                tokens << QStringLiteral("%1:%2 #%3").arg(head).arg(quint8(b[9])).arg(number());
            else
                tokens << head;
        }
        return tokens;
    }

    static QString sha256Hex(const QByteArray &bytes)
    {
        return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    }
};

} // namespace q48::test

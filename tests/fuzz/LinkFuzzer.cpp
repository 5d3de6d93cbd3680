// libFuzzer target: arbitrary bytes from "the device" through the receive assembler and the
// dispatcher into every feature handler of a ServiceCore whose link is a live loopback TCP
// connection, so replies the handlers send (firmware packets, import packets) go out for real.
// The first input byte picks the device variant and what the tool had started (see FuzzFrames.h).

#include "FuzzFrames.h"

#include "ServiceCore.h"
#include "UserPrompts.h"
#include "firmware/FirmwareDisplay.h"
#include "firmware/FirmwareRun.h"
#include "firmware/ImageStore.h"
#include "link/WindowRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace q48::fuzz {
namespace {

// Says yes to everything and saves into the harness's folder; keeps no record, so a long run
// does not grow.
class YesPrompts : public UserPrompts {
public:
    QString saveDir;
    QString importFile;
    bool askYesNo(const QString &, const QString &) override { return true; }
    QString saveFileName(const QString &filter) override
    {
        // One file per extension, overwritten by every save.
        return QDir(saveDir).filePath(QStringLiteral("saved.") + filter.section(QLatin1Char('.'), -1));
    }
    QString openFileName(const QString &) override { return importFile; }
    void message(const QString &, const QString &) override {}
};

class NullDisplay : public FirmwareDisplay {
public:
    void showStatus(const QString &) override {}
    void hideStatus() override {}
    void showLed(int) override {}
    void setGaugeMaximum(int maximum) override { m_maximum = maximum; }
    int gaugeMaximum() const override { return m_maximum; }
    void setGaugeProgress(int) override {}
    void showCountdown(bool) override {}
    void setCountdownSeconds(int) override {}

private:
    int m_maximum = 0;
};

class PresetWindow : public NotifyTarget {
public:
    long handleNotify(int, qintptr, qintptr) override { return 0; }
};

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "fuzz harness: %s\n", what);
    std::abort();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        die("cannot write a harness file");
}

class Harness {
public:
    Harness()
    {
        if (!m_dir.isValid())
            die("no temporary folder");
        const QDir dir(m_dir.path());
        dir.mkpath(QStringLiteral("lib"));
        dir.mkpath(QStringLiteral("out"));
        const QString lib = dir.filePath(QStringLiteral("lib"));
        // Small images with a partial last packet, so requests hit padded and missing packets.
        const int sizes[4] = {3000, 1026, 2, 2100};
        for (int i = 0; i < 4; ++i)
            writeFile(ImageStore::imagePath(lib, i), QByteArray(sizes[i], char('a' + i)));
        m_prompts.saveDir = dir.filePath(QStringLiteral("out"));
        m_prompts.importFile = dir.filePath(QStringLiteral("import.ept"));
        writeFile(m_prompts.importFile, memoryFileBytes());

        if (!m_server.listen(QHostAddress::LocalHost))
            die("cannot listen on loopback");

        ServiceCore::Options options;
        options.endpoints.searchAddress = QStringLiteral("127.0.0.1");
        options.endpoints.serialPorts = QStringList();
        options.libDir = lib;
        options.outputDir = m_prompts.saveDir;
        m_core = std::make_unique<ServiceCore>(m_prompts, options);
        m_core->loadVersionFile();
        m_core->startImageCheck();
        if (!m_core->images.waitForCheck(10000))
            die("image check did not finish");
        m_core->link.setSerialWritePause(0);

        m_run = std::make_unique<FirmwareRun>(m_core->firmware, m_display);
        m_run->setTimings({0, 0, 0, 0, 0});
        m_firmwareWindow =
            std::make_unique<WindowRegistration>(m_core->link.windows(), kFirmwareWindowClass, m_run.get());
        m_presetRegistration =
            std::make_unique<WindowRegistration>(m_core->link.windows(), kPresetWindowClass, &m_presetWindow);
    }

    void runOne(const std::uint8_t *data, size_t size)
    {
        if (size == 0)
            return;
        ensureConnected();
        const std::uint8_t ctl = data[0];
        m_core->link.discardInput();
        m_core->setUtype(utypeOf(ctl));
        m_core->firmware.setDindex(imageOf(ctl));
        switch (actionOf(ctl)) {
        case ImportStarted:
            m_core->memory.memImptBtnClick();
            break;
        case ExportStarted:
            m_core->memory.memExptBtnClick();
            break;
        case DspStarted:
            m_core->dsp.DSPbtn1Click(imageOf(ctl) & 1);
            break;
        case FirmwareStarted:
            m_run->program();
            m_core->firmware.setDindex(imageOf(ctl));
            break;
        default:
            break;
        }

        const char *stream = reinterpret_cast<const char *>(data + 1);
        const qsizetype count = qsizetype(size - 1);
        const int chunk = chunkOf(ctl);
        FrameAssembler &assembler = m_core->link.assembler();
        if (chunk == 0) {
            assembler.feed(stream, count);
        } else {
            for (qsizetype pos = 0; pos < count; pos += chunk)
                assembler.feed(stream + pos, qMin<qsizetype>(chunk, count - pos));
        }
        drain();
    }

private:
    void ensureConnected()
    {
        if (m_core->link.isLinkConnected() && m_peer && m_peer->state() == QAbstractSocket::ConnectedState)
            return;
        m_core->link.releaseLink();
        delete m_peer;
        m_peer = nullptr;
        if (!m_core->link.openLink(LinkCore::TcpLink,
                                   QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort())))
            die("cannot open the link");
        QElapsedTimer timer;
        timer.start();
        while ((!m_core->link.isLinkConnected() || !m_server.hasPendingConnections()) &&
               timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        m_peer = m_server.nextPendingConnection();
        if (!m_peer || !m_core->link.isLinkConnected())
            die("the loopback link did not come up");
    }

    // Lets the socket hand over what the handlers sent and throws it away, so nothing piles up.
    void drain()
    {
        m_core->link.linkSocket().flush();
        QCoreApplication::processEvents();
        if (m_peer)
            m_peer->readAll();
    }

    QTemporaryDir m_dir;
    YesPrompts m_prompts;
    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    std::unique_ptr<ServiceCore> m_core;
    NullDisplay m_display;
    std::unique_ptr<FirmwareRun> m_run;
    PresetWindow m_presetWindow;
    std::unique_ptr<WindowRegistration> m_firmwareWindow;
    std::unique_ptr<WindowRegistration> m_presetRegistration;
};

Harness *harness = nullptr;

} // namespace
} // namespace q48::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "q48-fuzz-link";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    // Every frame is logged at debug level; at millions of inputs that is all the run would do.
    QLoggingCategory::setFilterRules(QStringLiteral("q48.*=false\nqt.*=false"));
    q48::fuzz::harness = new q48::fuzz::Harness;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    q48::fuzz::harness->runOne(data, size);
    return 0;
}

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace q48 {

class Dispatcher;
class FrameSink;
class ResponseWatchdog;
class UserPrompts;

// Reads the firmware of DSP 1 or DSP 2 back from the device into DSP1.bin or DSP2.bin: one
// request, then 322 frames of 256 bytes numbered 0 to 321, guarded by the response watchdog.
class DspReadback : public QObject {
    Q_OBJECT
public:
    // The progress bar's range is 0 to this; positions beyond it stay at the end.
    static constexpr int kProgressMaximum = 100;

    // An empty output folder means the executable's folder.
    DspReadback(FrameSink &sink, ResponseWatchdog &watchdog, UserPrompts &prompts,
                const QString &outputFolder = QString(), QObject *parent = nullptr);

    // The "DownLoad" button with the DSP selector's item index (0 DSP 1, 1 DSP 2). Ignored
    // while a read-back is outstanding.
    void DSPbtn1Click(int itemIndex);
    // True when the request went out (item 0 or 1, link connected).
    bool sendDspRequest(int itemIndex);
    void handleDspData(const QByteArray &frame);
    // Writes the data and CR LF to "DSP<code - 1>.bin"; a file that cannot be written is
    // reported to the user by name and false is returned.
    bool saveDspImage(int code, const QByteArray &data);
    // Routes 242 here.
    void registerHandlers(Dispatcher &dispatcher);

    bool dspReady() const { return m_dspReady; }
    const QByteArray &dspData() const { return m_dspData; }
    int progress() const { return m_progress; }
    QString outputFolder() const { return m_outputFolder; }
    void setOutputFolder(const QString &folder);
    QString dspFilePath(int code) const;

    static QByteArray dspRequestFrame(int itemIndex);

signals:
    // The position of the progress bar, 0 to kProgressMaximum.
    void progressChanged(int value);
    void imageSaved(const QString &path);

private:
    void setProgress(int value);

    FrameSink &m_sink;
    ResponseWatchdog &m_watchdog;
    UserPrompts &m_prompts;
    QString m_outputFolder;
    QByteArray m_dspData;
    bool m_dspReady = true;
    int m_progress = 0;
};

} // namespace q48

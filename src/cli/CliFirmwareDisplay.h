#pragma once

#include "firmware/FirmwareDisplay.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>

namespace q48 {

class ProgressLine;

// The firmware window's display as progress lines: which image, its packets, the restart
// countdown. Also keeps the position so errors and results can say where a run got to.
class CliFirmwareDisplay : public FirmwareDisplay {
public:
    explicit CliFirmwareDisplay(ProgressLine &progress) : m_progress(progress) {}

    // Told when a packet goes out, and when the restart wait starts or ends.
    std::function<void(int image, int packet)> onProgress;
    std::function<void(bool visible)> onCountdown;

    void showStatus(const QString &text) override;
    void hideStatus() override { m_status.clear(); }
    void showLed(int image) override { m_image = image; }
    void setGaugeMaximum(int maximum) override;
    int gaugeMaximum() const override { return m_maximum; }
    void setGaugeProgress(int value) override;
    void showCountdown(bool visible) override;
    void setCountdownSeconds(int seconds) override;

    int image() const { return m_image; }
    // Packets of the current image sent so far.
    int packetsSent() const { return m_sent; }
    QString status() const { return m_status; }
    // From the image's start to its verdict, without the waits after it.
    double seconds() const { return double(m_verdictMs) / 1000.0; }

private:
    ProgressLine &m_progress;
    QString m_status;
    int m_image = 0;
    int m_maximum = 0;
    int m_sent = 0;
    QElapsedTimer m_clock;
    qint64 m_verdictMs = -1;

    void verdict();
};

} // namespace q48

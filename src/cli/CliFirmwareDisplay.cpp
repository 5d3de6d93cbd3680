#include "CliFirmwareDisplay.h"

#include "ProgressLine.h"
#include "firmware/FirmwareCatalogue.h"
#include "link/CommandCodes.h"

#include <algorithm>

namespace q48 {

void CliFirmwareDisplay::setGaugeMaximum(int maximum)
{
    m_maximum = maximum;
    m_sent = 0;
    m_clock.start();
    m_verdictMs = -1;
    m_progress.begin(
        QStringLiteral("image %1/%2 %3").arg(m_image + 1).arg(kImageCount).arg(firmwareIds[m_image]),
        QStringLiteral("packet"), maximum, kFirmwarePacketData);
}

void CliFirmwareDisplay::setGaugeProgress(int value)
{
    // The gauge shows the packet number just sent, 0-based; the maximum at the verdict.
    if (value > 0 && value < m_maximum)
        m_sent = std::max(m_sent, value + 1);
    else if (value >= m_maximum && m_maximum > 0) {
        m_sent = m_maximum;
        verdict();
    }
    m_progress.update(m_sent);
    if (onProgress && value > 0)
        onProgress(m_image, value);
}

void CliFirmwareDisplay::showStatus(const QString &text)
{
    m_status = text;
    verdict();
}

void CliFirmwareDisplay::verdict()
{
    if (m_verdictMs < 0 && m_clock.isValid())
        m_verdictMs = m_clock.elapsed();
}

void CliFirmwareDisplay::showCountdown(bool visible)
{
    if (!visible)
        m_progress.clear();
    if (onCountdown)
        onCountdown(visible);
}

void CliFirmwareDisplay::setCountdownSeconds(int seconds)
{
    m_progress.countdown(QStringLiteral("device restarting"), seconds);
}

} // namespace q48

#include "FirmwareRun.h"

#include "firmware/FirmwareDisplay.h"
#include "firmware/FirmwareProgrammer.h"
#include "link/DebugLog.h"
#include "link/PumpWait.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

#include <algorithm>

namespace q48 {

namespace {

const QString kFailText = QStringLiteral("Fail to Program~!");
const QString kSuccessText = QStringLiteral("Sucess to Program,Please Restart the Device~!");
const QString kNotReadyText = QStringLiteral("Device Not Ready~!");

bool validImage(int pos)
{
    return pos >= 0 && pos < kImageCount;
}

} // namespace

FirmwareRun::FirmwareRun(FirmwareProgrammer &programmer, FirmwareDisplay &display, QObject *parent)
    : QObject(parent), m_programmer(programmer), m_display(display)
{
}

bool FirmwareRun::program()
{
    if (!m_programmer.btnTotalClick())
        return false;
    // A wait of the run this one replaces sees the new id and returns without acting.
    ++m_runId;
    m_running = true;
    m_handlingResult = false;
    resetRun();
    selectNextImage();
    startImage(m_programmer.dindex());
    return true;
}

void FirmwareRun::resetRun()
{
    m_imageState.fill(pending);
    m_finished = false;
    m_programmer.setDindex(0);
    m_display.setGaugeProgress(0);
    m_display.hideStatus();
}

void FirmwareRun::selectNextImage()
{
    const auto next = std::find(m_imageState.begin(), m_imageState.end(), pending);
    if (next == m_imageState.end())
        return;
    const int i = int(next - m_imageState.begin());
    m_programmer.setDindex(i);
    m_display.showLed(i);
}

void FirmwareRun::startImage(int pos)
{
    if (!validImage(pos) || m_imageState[pos] != pending) {
        if (m_running) {
            m_running = false;
            m_finished = true;
            emit finished();
        }
        return;
    }
    m_display.showLed(pos);
    m_display.setGaugeMaximum(m_programmer.packNum(pos));
    m_display.setGaugeProgress(0);
    const int image = m_programmer.dindex();
    if (!m_programmer.ensureLinkFor(image)) {
        m_display.showStatus(kFailText);
        m_running = false;
        emit stopped(image);
        return;
    }
    if (image == 0) {
        m_programmer.sendPrepareFrame();
        // Short enough to hold the thread: pumping here would let replies of the previous
        // image be handled between the two frames.
        QThread::msleep(ulong(std::max(0, m_timings.prepareGapMs)));
    }
    m_programmer.sendStartFrame(image);
}

void FirmwareRun::imageSucceeded(int pos)
{
    if (!validImage(pos))
        return;
    m_display.setGaugeProgress(m_display.gaugeMaximum());
    if (pos == 3)
        m_display.showStatus(kSuccessText);

    const quint64 run = m_runId;
    QPointer<FirmwareRun> self(this);
    m_handlingResult = true;
    processPendingOnce();
    const bool waited = self && m_runId == run &&
                        waitPumping(pos == 0 ? m_timings.rebootDelayMs : m_timings.imagePauseMs, true);
    if (!self || m_runId != run)
        return;
    m_handlingResult = false;
    if (waited)
        finishImage(pos, programmed, FW_RESULT_DONE);
}

void FirmwareRun::imageFailed(int pos)
{
    failImage(pos, FW_RESULT_FAILED);
}

void FirmwareRun::failImage(int pos, int result)
{
    if (!validImage(pos))
        return;
    m_display.showStatus(kFailText);

    const quint64 run = m_runId;
    QPointer<FirmwareRun> self(this);
    m_handlingResult = true;
    processPendingOnce();
    bool waited = self && m_runId == run && waitPumping(m_timings.failurePauseMs, false);
    if (waited)
        processPendingOnce();
    if (!self || m_runId != run)
        return;
    m_handlingResult = false;
    if (!waited)
        return;
    if (pos == 3)
        m_display.showStatus(kSuccessText);
    finishImage(pos, failed, result);
}

void FirmwareRun::rebootWait(int seconds)
{
    waitPumping(seconds * 1000, true);
}

bool FirmwareRun::waitPumping(int milliseconds, bool rebooting)
{
    const quint64 run = m_runId;
    QPointer<FirmwareRun> self(this);
    const qint64 total = std::max(0, milliseconds);
    const auto secondsLeft = [total](qint64 elapsed) { return int((total - elapsed + 999) / 1000); };

    if (rebooting && m_programmer.dindex() == 0) {
        m_display.setCountdownSeconds(secondsLeft(0));
        m_display.showCountdown(true);
    }
    QElapsedTimer clock;
    clock.start();
    for (qint64 elapsed = clock.elapsed(); elapsed < total; elapsed = clock.elapsed()) {
        if (rebooting) {
            // What a restarting device sends is noise; none of it may be taken for a reply.
            m_programmer.discardInput();
            if (m_programmer.dindex() == 0)
                m_display.setCountdownSeconds(secondsLeft(elapsed));
        }
        pumpingWait(int(std::min<qint64>(std::max(1, m_timings.sliceMs), total - elapsed)));
        if (!self)
            return false;
        if (m_runId != run) {
            if (rebooting)
                m_display.showCountdown(false);
            return false;
        }
    }
    if (rebooting)
        m_display.showCountdown(false);
    return true;
}

void FirmwareRun::finishImage(int pos, ImageState state, int result)
{
    m_imageState[pos] = state;
    emit imageFinished(pos, result);
    selectNextImage();
    startImage(m_programmer.dindex());
}

void FirmwareRun::onProgressMessage(int packet)
{
    m_display.setGaugeProgress(packet);
}

void FirmwareRun::onResultMessage(int pos, int result)
{
    if (result != FW_RESULT_FAILED && result != FW_RESULT_DONE && result != FW_RESULT_NOT_READY)
        return;
    // Verdicts outside a run of this window, a second verdict for an image (the device may
    // repeat itself) and one arriving during another's wait would start images nobody asked for.
    if (!validImage(pos) || !m_running || m_handlingResult || m_imageState[pos] != pending) {
        debugLogNumber(QStringLiteral("firmware result ignored for image"), pos, lcFirmware());
        return;
    }
    switch (result) {
    case FW_RESULT_FAILED:
        imageFailed(pos);
        break;
    case FW_RESULT_DONE:
        imageSucceeded(pos);
        break;
    case FW_RESULT_NOT_READY:
        m_display.showStatus(kNotReadyText);
        failImage(pos, FW_RESULT_NOT_READY);
        break;
    }
}

long FirmwareRun::handleNotify(int message, qintptr wParam, qintptr lParam)
{
    if (message == WM_LINK_NOTIFY)
        onProgressMessage(int(wParam));
    else if (message == WM_FIRMWARE_RESULT)
        onResultMessage(int(wParam), int(lParam));
    return 0;
}

} // namespace q48

#pragma once

#include "firmware/FirmwareCatalogue.h"
#include "link/WindowRegistry.h"

#include <QObject>

#include <array>

namespace q48 {

class FirmwareDisplay;
class FirmwareProgrammer;

// The window side of programming, one per opening of the firmware window: which images are
// done, what the display shows, and the waits between images. Results come in through
// onResultMessage (or handleNotify when registered as the firmware window) inside the
// dispatch of a device reply; the waits keep events flowing in short slices, so the window
// keeps repainting while the device restarts.
class FirmwareRun : public QObject, public NotifyTarget {
    Q_OBJECT
public:
    enum ImageState : quint8 { pending = 0, programmed = 1, failed = 2 };

    // The waits of a run. The defaults are the device's; tests shorten them.
    struct Timings {
        int rebootDelayMs = kDefaultRebootDelay * 1000; // after image 0, while the device restarts
        int imagePauseMs = 3000;                        // after images 1 to 3
        int failurePauseMs = 3000;                      // with "Fail to Program~!" showing
        int prepareGapMs = 10;                          // between the prepare and the start frame
        int sliceMs = 50;                               // longest stretch without events
    };

    FirmwareRun(FirmwareProgrammer &programmer, FirmwareDisplay &display, QObject *parent = nullptr);

    void setTimings(const Timings &timings) { m_timings = timings; }
    const Timings &timings() const { return m_timings; }
    // The reboot delay of Ver.ini, in seconds.
    void setRebootDelay(int seconds) { m_timings.rebootDelayMs = seconds * 1000; }

    // The Program button. False when the pre-flight check refused; the user has been told why.
    // Pressed during a run, it starts a new one from image 0.
    bool program();

    void resetRun();
    void selectNextImage();
    void startImage(int pos);
    void imageSucceeded(int pos);
    void imageFailed(int pos);
    void rebootWait(int seconds);

    void onProgressMessage(int packet);
    void onResultMessage(int pos, int result);
    long handleNotify(int message, qintptr wParam, qintptr lParam) override;

    ImageState imageState(int pos) const { return m_imageState.at(pos); }
    const std::array<ImageState, kImageCount> &imageStates() const { return m_imageState; }
    // Between a granted Program press and the moment no image is pending or the run stops.
    bool isRunning() const { return m_running; }
    // A run ended since the last Program press.
    bool isFinished() const { return m_finished; }

signals:
    // One image has its outcome; `result` is FW_RESULT_DONE, FW_RESULT_FAILED or
    // FW_RESULT_NOT_READY.
    void imageFinished(int pos, int result);
    // No image is pending any more.
    void finished();
    // The run ended early: the link was down when image `pos` was to start. The user has been
    // told; the images not started stay pending.
    void stopped(int pos);

private:
    // Waits pumping events in slices; false when this run was replaced or this object went
    // away meanwhile, and the caller must stop at once.
    bool waitPumping(int milliseconds, bool rebooting);
    void failImage(int pos, int result);
    void finishImage(int pos, ImageState state, int result);

    FirmwareProgrammer &m_programmer;
    FirmwareDisplay &m_display;
    Timings m_timings;
    std::array<ImageState, kImageCount> m_imageState{};
    // Changes with each Program press, so a wait of an earlier run knows it was overtaken.
    quint64 m_runId = 0;
    bool m_running = false;
    bool m_finished = false;
    // A result is being acted on (its wait is running).
    bool m_handlingResult = false;
};

} // namespace q48

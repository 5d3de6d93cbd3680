#pragma once

#include "firmware/FirmwareDisplay.h"
#include "link/WindowRegistry.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace q48 {
class FirmwareProgrammer;
class FirmwareRun;
} // namespace q48

namespace Ui {
class TFirmwareWindow;
}

// The modal window in which the user programs the mixer's four firmware images: versions,
// one lamp per image, the packet gauge, the outcome line and the reboot countdown. The
// programming sequence drives it through FirmwareDisplay and its two notifications: with a
// programmer, each window runs one FirmwareRun of its own and hands it the notifications.
class TFirmwareWindow : public QDialog, public q48::FirmwareDisplay, public q48::NotifyTarget {
    Q_OBJECT

public:
    static inline const QString kStatusFailed = QStringLiteral("Fail to Program~!");
    static inline const QString kStatusSuccess =
        QStringLiteral("Sucess to Program,Please Restart the Device~!");
    static inline const QString kStatusNotReady = QStringLiteral("Device Not Ready~!");

    TFirmwareWindow(q48::WindowRegistry &registry, q48::FirmwareProgrammer *programmer = nullptr,
                    QWidget *parent = nullptr);
    ~TFirmwareWindow() override;

    // The run of this opening; null without a programmer or once the window was closed.
    q48::FirmwareRun *run() const { return m_run.get(); }
    void done(int result) override;

    // Version texts of images 0..3, shown by FormShow.
    void setVersionTexts(const QString &mcuVer, const QString &keyVer, const QString &dsp1Ver,
                         const QString &dsp2Ver);

    // FirmwareDisplay
    void showStatus(const QString &text) override;
    void hideStatus() override;
    void showLed(int image) override;
    void setGaugeMaximum(int maximum) override;
    int gaugeMaximum() const override;
    void setGaugeProgress(int value) override;
    void showCountdown(bool visible) override;
    void setCountdownSeconds(int seconds) override;

    // NotifyTarget: WM_LINK_NOTIFY carries progress, WM_FIRMWARE_RESULT an image's verdict.
    long handleNotify(int message, qintptr wParam, qintptr lParam) override;

    void FormShow();
    void onProgressMessage(qintptr wParam, qintptr lParam);
    void onResultMessage(qintptr wParam, qintptr lParam);

    // Without a run of its own the window only reports; whoever drives it reacts to these.
signals:
    void programRequested();
    void imageResultFailed(int image);
    void imageResultDone(int image);

public slots:
    void btnTotalClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::TFirmwareWindow *ui;
    QString m_versions[4];
    std::unique_ptr<q48::FirmwareRun> m_run;
    std::optional<q48::WindowRegistration> m_registration;
};

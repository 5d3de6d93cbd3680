#pragma once

#include <QString>

namespace q48 {

// What the programming sequence shows while it runs. The firmware window draws it; the CLI
// prints it; tests record it.
class FirmwareDisplay {
public:
    virtual ~FirmwareDisplay() = default;

    // Makes the status line visible, in red, with one of the outcome texts.
    virtual void showStatus(const QString &text) = 0;
    virtual void hideStatus() = 0;
    // Lights the lamp of one image and darkens the others.
    virtual void showLed(int image) = 0;
    virtual void setGaugeMaximum(int maximum) = 0;
    virtual int gaugeMaximum() const = 0;
    virtual void setGaugeProgress(int value) = 0;
    // The reboot countdown after image 0: whole seconds remaining.
    virtual void showCountdown(bool visible) = 0;
    virtual void setCountdownSeconds(int seconds) = 0;
};

} // namespace q48

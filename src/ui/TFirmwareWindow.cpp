#include "TFirmwareWindow.h"
#include "ui_TFirmwareWindow.h"

#include "AppLook.h"
#include "XLed.h"
#include "firmware/FirmwareRun.h"

#include <QShowEvent>

TFirmwareWindow::TFirmwareWindow(q48::WindowRegistry &registry, q48::FirmwareProgrammer *programmer,
                                 QWidget *parent)
    : QDialog(parent), ui(new Ui::TFirmwareWindow)
{
    ui->setupUi(this);
    setWindowIcon(q48::appIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    q48::fitTextSize(ui->noteLB, 15);
    q48::growToFit(ui->RzLabel1);

    QPalette gauge = ui->pbar->palette();
    gauge.setColor(QPalette::Highlight, QColor(0, 225, 0));
    gauge.setColor(QPalette::HighlightedText, Qt::black);
    ui->pbar->setPalette(gauge);
    ui->pbar->setFormat(QStringLiteral("%p%"));

    connect(ui->btnTotal, &QPushButton::clicked, this, &TFirmwareWindow::btnTotalClick);
    if (programmer)
        m_run = std::make_unique<q48::FirmwareRun>(*programmer, *this);
    m_registration.emplace(registry, q48::kFirmwareWindowClass, this);
}

TFirmwareWindow::~TFirmwareWindow()
{
    // Stop taking notifications before any control goes away.
    m_registration.reset();
    m_run.reset();
    delete ui;
}

void TFirmwareWindow::done(int result)
{
    // A closed window starts no further image: its notifications are dropped from now on, and
    // a wait of the run in progress sees the run gone and returns without acting.
    m_registration.reset();
    m_run.reset();
    QDialog::done(result);
}

void TFirmwareWindow::setVersionTexts(const QString &mcuVer, const QString &keyVer, const QString &dsp1Ver,
                                      const QString &dsp2Ver)
{
    m_versions[0] = mcuVer;
    m_versions[1] = keyVer;
    m_versions[2] = dsp1Ver;
    m_versions[3] = dsp2Ver;
    if (isVisible())
        FormShow();
}

void TFirmwareWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TFirmwareWindow::FormShow()
{
    QLabel *labels[4] = {ui->mcuLb, ui->keyLb, ui->DSPLB1, ui->DSPLB2};
    for (int i = 0; i < 4; ++i) {
        labels[i]->setText(m_versions[i]);
        q48::growToFit(labels[i]);
    }
}

void TFirmwareWindow::showStatus(const QString &text)
{
    ui->stsLB->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    ui->stsLB->setText(text);
    q48::growToFit(ui->stsLB);
    ui->stsLB->setVisible(true);
}

void TFirmwareWindow::hideStatus()
{
    ui->stsLB->setVisible(false);
}

void TFirmwareWindow::showLed(int image)
{
    // Found by name and matched by Tag, so the lamps can be rearranged on the form freely.
    for (int n = 0; n < 4; ++n) {
        if (auto *led = findChild<XLed *>(QStringLiteral("fled%1").arg(n)))
            led->setActive(led->property("Tag").toInt() == image);
    }
}

void TFirmwareWindow::setGaugeMaximum(int maximum)
{
    ui->pbar->setMaximum(maximum);
}

int TFirmwareWindow::gaugeMaximum() const
{
    return ui->pbar->maximum();
}

void TFirmwareWindow::setGaugeProgress(int value)
{
    // Beyond the range QProgressBar would ignore the value; clamp like a gauge does.
    ui->pbar->setValue(qBound(ui->pbar->minimum(), value, ui->pbar->maximum()));
}

void TFirmwareWindow::showCountdown(bool visible)
{
    ui->txtSLB->setVisible(visible);
}

void TFirmwareWindow::setCountdownSeconds(int seconds)
{
    ui->txtSLB->setText(QStringLiteral("Device is rooting now,wait... ") + QString::number(seconds));
    q48::growToFit(ui->txtSLB);
}

long TFirmwareWindow::handleNotify(int message, qintptr wParam, qintptr lParam)
{
    if (m_run)
        return m_run->handleNotify(message, wParam, lParam);
    if (message == q48::WM_LINK_NOTIFY)
        onProgressMessage(wParam, lParam);
    else if (message == q48::WM_FIRMWARE_RESULT)
        onResultMessage(wParam, lParam);
    return 0;
}

void TFirmwareWindow::onProgressMessage(qintptr wParam, qintptr)
{
    setGaugeProgress(static_cast<int>(wParam));
}

void TFirmwareWindow::onResultMessage(qintptr wParam, qintptr lParam)
{
    const int image = static_cast<int>(wParam);
    switch (lParam) {
    case q48::FW_RESULT_FAILED:
        emit imageResultFailed(image);
        break;
    case q48::FW_RESULT_DONE:
        emit imageResultDone(image);
        break;
    case q48::FW_RESULT_NOT_READY:
        showStatus(kStatusNotReady);
        emit imageResultFailed(image);
        break;
    default:
        break;
    }
}

void TFirmwareWindow::btnTotalClick()
{
    if (m_run) {
        m_run->program();
        return;
    }
    emit programRequested();
}
